#!/usr/bin/env python3
"""Fails when a file of the program includes a header from its own layer's
other folders or from a layer above its own (scripts/layers.txt), or when a
folder of the program is in no layer. Tests, benchmarks and fuzzers sit on
top and may include anything."""
import os
import re
import subprocess
import sys

top = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
on_top = ("tests/", "bench/", "fuzz/")

layer_of = {}
with open(os.path.join(top, "scripts", "layers.txt"), encoding="utf-8") as layers:
    number = 0
    for line in layers:
        line = line.split("#", 1)[0].split()
        if line:
            number += 1
            for folder in line:
                layer_of[folder] = number

files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=top, capture_output=True, text=True,
                       check=True).stdout.split()
include = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
wrong = []
for path in files:
    if path.startswith(on_top):
        continue
    folder = os.path.dirname(path)
    if folder not in layer_of:
        wrong.append(f"{path}: its folder {folder}/ is in no layer of scripts/layers.txt")
        continue
    with open(os.path.join(top, path), encoding="utf-8") as source:
        for number, text in enumerate(source, 1):
            match = include.match(text)
            if not match:
                continue
            target = os.path.dirname(match.group(1))
            if target == folder or target not in layer_of:
                continue
            if layer_of[target] >= layer_of[folder]:
                where = "on the same layer as" if layer_of[target] == layer_of[folder] else "above"
                wrong.append(f"{path}:{number}: includes {match.group(1)}, from {target}/, {where} {folder}/")

for line in wrong:
    print(line)
if wrong:
    print(f"{len(wrong)} include(s) against the layers of scripts/layers.txt", file=sys.stderr)
    sys.exit(1)
