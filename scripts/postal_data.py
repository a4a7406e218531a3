#!/usr/bin/env python3
"""Builds the program's postal-code data file from the tarball of the npm
package jquery-jpostal-ja, which carries Japan Post's postal-code data as
json/000.json ... json/999.json, one file per first three digits.

Usage: postal_data.py TARBALL PACKAGE_VERSION SHA512_INTEGRITY OUTPUT

The output depends on nothing but the tarball and the zlib that compresses
it: no times, no locale, no order of files on disk. The same tarball and the
same zlib version give the same bytes.

Layout of the output, every integer little-endian:

  header
    0   8  magic "JPPOSTAL"
    8   2  format version, 1
    10  2  number of index entries, 1000 (one per first three digits)
    12  4  header length H in bytes, up to and including the header CRC
    16  4  file length in bytes
    20  4  number of records
    24  4  number of distinct seven-digit codes
    28  4  CRC-32 of the payload, bytes H up to the file length
    32     three texts, each a 1-byte length and UTF-8: source package name,
           package version, date of Japan Post's data (YYYY-MM-DD)
           index, 1000 entries of four 32-bit numbers: block offset from the
           start of the file, stored (compressed) length, uncompressed
           length, CRC-32 of the stored bytes; a prefix without codes has
           offset, lengths and CRC all 0
    H-4 4  CRC-32 of bytes 0 up to H-4
  payload
    the blocks in order of their first three digits, each a zlib stream.
    Uncompressed, a block is one line per record, sorted by code (records
    of one code keep the package's order):
      last four digits TAB prefecture TAB city TAB town TAB street TAB office LF
    street and office are filled for large-office codes only.
"""

import base64
import hashlib
import json
import os
import re
import struct
import sys
import tarfile
import zlib

MAGIC = b"JPPOSTAL"
FORMAT_VERSION = 1
PREFIX_COUNT = 1000
FIXED_HEADER_BYTES = 32
INDEX_ENTRY_BYTES = 16
SOURCE_PACKAGE = "jquery-jpostal-ja"

CALLBACK = re.compile(r"\A\s*jQuery_jpostal_callback\(\s*(.*?)\s*\)\s*;?\s*\Z", re.S)
SEVEN_DIGIT_CODE = re.compile(r"\A_([0-9]{3})([0-9]{4})\Z")
THREE_DIGIT_SUMMARY = re.compile(r"\A_[0-9]{3}\Z")
INFO_CODE = "_000info"
# "ver2.13 2025-09-25 2025-09-30": the package's generator version, the date
# of Japan Post's file, the day the JSON was generated.
INFO_TEXT = re.compile(r"\Aver\S+ ([0-9]{4}-[0-9]{2}-[0-9]{2}) [0-9]{4}-[0-9]{2}-[0-9]{2}\Z")


def fail(message):
    sys.exit(f"postal_data.py: {message}")


def check_integrity(tarball_bytes, integrity):
    algorithm, _, expected = integrity.partition("-")
    if algorithm != "sha512":
        fail(f"expected a sha512 integrity, got {integrity!r}")
    actual = base64.b64encode(hashlib.sha512(tarball_bytes).digest()).decode("ascii")
    if actual != expected:
        fail(f"tarball integrity sha512-{actual} differs from the pinned {integrity}")


def read_package(tarball_path):
    """Gives package.json's version and {prefix number: JSON text}."""
    files = {}
    version = None
    with tarfile.open(tarball_path, "r:gz") as tar:
        for member in tar.getmembers():
            if not member.isfile():
                continue
            if member.name == "package/package.json":
                version = json.loads(tar.extractfile(member).read().decode("utf-8"))["version"]
                continue
            m = re.fullmatch(r"package/json/([0-9]{3})\.json", member.name)
            if m:
                files[int(m.group(1))] = tar.extractfile(member).read().decode("utf-8")
    if version is None:
        fail("package.json missing from the tarball")
    missing = [n for n in range(PREFIX_COUNT) if n not in files]
    if missing:
        fail(f"json files missing for prefixes {missing[:10]}")
    return version, files


def parse_records(files):
    """Gives the data date and, per prefix, a list of (suffix, five fields)."""
    data_date = None
    blocks = {n: [] for n in range(PREFIX_COUNT)}
    for prefix in range(PREFIX_COUNT):
        m = CALLBACK.match(files[prefix])
        if not m:
            fail(f"json/{prefix:03d}.json is not a jQuery_jpostal_callback(...) call")
        for record in json.loads(m.group(1)):
            if not (isinstance(record, list) and len(record) == 9 and all(isinstance(f, str) for f in record)):
                fail(f"json/{prefix:03d}.json: record {record!r} is not nine strings")
            code = record[0]
            if code == INFO_CODE:
                info = INFO_TEXT.match(record[2])
                if not info:
                    fail(f"unexpected info record {record!r}")
                data_date = info.group(1)
                continue
            if THREE_DIGIT_SUMMARY.match(code):
                continue  # the package's guess for a bare first three digits
            code_match = SEVEN_DIGIT_CODE.match(code)
            if not code_match:
                fail(f"json/{prefix:03d}.json: unexpected code {code!r}")
            if int(code_match.group(1)) != prefix:
                fail(f"code {code} found in json/{prefix:03d}.json")
            fields = record[1:6]  # prefecture, city, town, street, office
            for field in fields:
                if any(ord(c) < 0x20 or c == "\x7f" for c in field):
                    fail(f"control character in {record!r}")
            if not fields[0] or not fields[1]:
                fail(f"record without prefecture or city: {record!r}")
            if bool(fields[3]) and not fields[4]:
                fail(f"street without office name: {record!r}")
            blocks[prefix].append((code_match.group(2), fields))
    if data_date is None:
        fail("no _000info record with the data's date in json/000.json")
    for prefix in blocks:
        # Stable: the records of one code keep the package's order.
        blocks[prefix].sort(key=lambda r: r[0])
    return data_date, blocks


def short_text(text):
    raw = text.encode("utf-8")
    if len(raw) > 255:
        fail(f"header text too long: {text!r}")
    return struct.pack("<B", len(raw)) + raw


def build(version, data_date, blocks):
    texts = short_text(SOURCE_PACKAGE) + short_text(version) + short_text(data_date)
    header_length = FIXED_HEADER_BYTES + len(texts) + PREFIX_COUNT * INDEX_ENTRY_BYTES + 4

    index = b""
    payload = b""
    record_count = 0
    codes = set()
    for prefix in range(PREFIX_COUNT):
        records = blocks[prefix]
        if not records:
            index += struct.pack("<IIII", 0, 0, 0, 0)
            continue
        raw = "".join("\t".join([suffix, *fields]) + "\n" for suffix, fields in records).encode("utf-8")
        stored = zlib.compress(raw, 9)
        index += struct.pack("<IIII", header_length + len(payload), len(stored), len(raw), zlib.crc32(stored))
        payload += stored
        record_count += len(records)
        codes.update(f"{prefix:03d}{suffix}" for suffix, _ in records)

    fixed = MAGIC + struct.pack("<HHIIIII", FORMAT_VERSION, PREFIX_COUNT, header_length,
                                header_length + len(payload), record_count, len(codes), zlib.crc32(payload))
    header = fixed + texts + index
    header += struct.pack("<I", zlib.crc32(header))
    assert len(header) == header_length
    return header + payload, record_count, len(codes)


def main():
    if len(sys.argv) != 5:
        fail("usage: postal_data.py TARBALL PACKAGE_VERSION SHA512_INTEGRITY OUTPUT")
    tarball_path, pinned_version, integrity, output = sys.argv[1:]
    with open(tarball_path, "rb") as f:
        check_integrity(f.read(), integrity)
    version, files = read_package(tarball_path)
    if version != pinned_version:
        fail(f"tarball holds version {version}, expected {pinned_version}")
    data_date, blocks = parse_records(files)
    content, record_count, code_count = build(version, data_date, blocks)

    partial = output + ".partial"
    with open(partial, "wb") as f:
        f.write(content)
    os.replace(partial, output)
    print(f"{output}: {len(content)} bytes, {record_count} records, {code_count} codes, "
          f"{SOURCE_PACKAGE} {version}, data of {data_date}")


if __name__ == "__main__":
    main()
