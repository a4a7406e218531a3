#!/usr/bin/env bash
# Makes the Debian package: installs what is missing, builds in Release into
# build-package/ with Debian's hardening flags, makes
# horutea_<version>_amd64.deb with CPack, checks it with lintian (errors
# fail; an override, if one is ever needed, goes in packaging/lintian-overrides
# with its reason), the AppStream data and the desktop entry, and prints where
# the .deb is.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/setup-deps.sh"
dir="$here/build-package"

# The texts' dates come from the last commit, so one commit gives one package.
SOURCE_DATE_EPOCH="$(git -C "$here" log -1 --format=%ct 2>/dev/null || date +%s)"
export SOURCE_DATE_EPOCH
# Debian's flags: stack protector, fortified functions, full RELRO, bind now.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"

cmake -S "$here" -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCMAKE_CXX_FLAGS="$CPPFLAGS $CXXFLAGS" -DCMAKE_EXE_LINKER_FLAGS="$LDFLAGS" \
  -DCMAKE_MODULE_LINKER_FLAGS="$LDFLAGS" -DCMAKE_SHARED_LINKER_FLAGS="$LDFLAGS" \
  -DHORUTEA_PACKAGE=ON -DHORUTEA_SOURCE_DATA=OFF -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON >/dev/null
# The program and the files it installs, not the tests.
cmake --build "$dir" --parallel "$(nproc)" --target horutea_installables >"$dir/build.log" 2>&1 || { tail -50 "$dir/build.log" >&2; exit 1; }
rm -rf "$dir/package"
(cd "$dir" && cpack -G DEB >"$dir/cpack.log" 2>&1) || { cat "$dir/cpack.log" >&2; exit 1; }
deb="$(ls "$dir"/package/horutea_*_amd64.deb)"

# The texts a desktop reads, checked as they are packaged.
check="$(mktemp -d)"
trap 'rm -rf "$check"' EXIT
dpkg-deb -x "$deb" "$check"
appstreamcli validate --no-net "$check"/usr/share/metainfo/*.metainfo.xml >/dev/null
desktop-file-validate "$check"/usr/share/applications/*.desktop

echo "lintian:"
status=0
findings="$(lintian --display-info --fail-on error "$deb" 2>&1)" || status=$?
printf '%s\n' "$findings" | grep -v "running with root privileges" | sed 's/^/  /'
[ "$status" -eq 0 ] || { echo "package.sh: lintian found errors in $deb" >&2; exit 1; }
echo "package: $deb ($(du -k "$deb" | cut -f1) KiB)"
