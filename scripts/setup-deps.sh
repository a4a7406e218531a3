#!/usr/bin/env bash
# Installs the Debian packages the program and its tests need; installs nothing
# that is already there, so a second run is quick and needs no network.
set -euo pipefail

need=(
  cmake g++ make zlib1g-dev
  # lld lays the start-up code out together (CMakeLists.txt)
  lld
  # callgrind: the list of that code (scripts/order-startup-code.sh) and the
  # benchmark's start-up in instructions
  valgrind
  qt6-base-dev qt6-base-dev-tools libqt6printsupport6 qt6-qpa-plugins qt6-translations-l10n libgl-dev
  libqt6sql6-sqlite libsqlite3-dev
  # several stations on one server: the driver, and a server the tests start themselves
  libqt6sql6-psql postgresql
  # a server's password kept in the desktop's secret store
  qtkeychain-qt6-dev
  fonts-ipafont-gothic fonts-noto-cjk fontconfig
  xvfb xauth
  poppler-utils libpoppler-qt6-dev pkg-config
  cups cups-bsd cups-ipp-utils printer-driver-cups-pdf
  libcups2-dev
  libcsv-dev
  # telephone numbers from order lists as the numbering plan writes them
  libphonenumber-dev
  clang-14 libclang-rt-14-dev
  # the committed .clang-format, checked by scripts/check-format.sh
  clang-format-14
  # the Debian package (scripts/package.sh): shlibdeps and build flags, icons, checks
  dpkg-dev librsvg2-bin lintian appstream desktop-file-utils
)

missing=()
for p in "${need[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  echo "installing: ${missing[*]}"
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  # Debian starts cupsd on install where it can; the tests run their own.
fi
