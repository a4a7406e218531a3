#!/usr/bin/env bash
# Rebuilds data/postal/jp-postal-codes.bin from the pinned version of the npm
# package jquery-jpostal-ja (Japan Post's postal-code data, MIT licence).
# Needs the npm registry, npm and python3. An optional argument names another
# output file (scripts/check-postal-data.sh uses it).
#
# To move to a newer version: `npm view jquery-jpostal-ja dist-tags.latest`,
# then `npm view jquery-jpostal-ja@VERSION dist.integrity`, and set both below.
set -euo pipefail

package=jquery-jpostal-ja
version=2.14.73
integrity=sha512-yuys0Np34p7WsmvVMcwQbkum6njYXdM8Ta22LGpa8xdjMpa/zxmda2Jtowk0T0uuuQSUXfaICACNAOd8dxCM7g==

here="$(cd "$(dirname "$0")/.." && pwd)"
output="${1:-$here/data/postal/jp-postal-codes.bin}"

for tool in npm python3; do
  command -v "$tool" >/dev/null || { echo "build-postal-data.sh: $tool is needed (apt-get install $tool)" >&2; exit 1; }
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$package@$version" >/dev/null)
tarball="$work/$package-$version.tgz"
[ -f "$tarball" ] || { echo "build-postal-data.sh: npm pack gave no $tarball" >&2; exit 1; }

mkdir -p "$(dirname "$output")"
python3 "$here/scripts/postal_data.py" "$tarball" "$version" "$integrity" "$output"
