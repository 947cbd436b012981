#!/usr/bin/env bash
# Installs what building, testing and running need, and nothing that is
# already there. Safe to run again; as root, or through sudo otherwise.
set -euo pipefail

packages=(
  g++ make cmake pkg-config clang-format
  # clang with its libFuzzer and sanitizer runtimes, for the fuzz targets
  clang libclang-rt-14-dev
  qt6-base-dev qt6-qpa-plugins qt6-wayland libqrencode-dev libxcb1-dev libxcb-xfixes0-dev
  libgtest-dev libgmock-dev
  # the file server's HTTP and zip libraries
  libmicrohttpd-dev libarchive-dev
  lsof procps python3 nodejs iproute2 iw
  # the peer and the load generator of varnholt-bench --serve
  nginx-light wrk
  xvfb xauth x11-utils fonts-noto-color-emoji
  dbus-daemon dbus-bin
  desktop-file-utils appstream dpkg-dev lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
# A Node from another source (nodesource, nvm) serves as well as Debian's.
if command -v node >/dev/null 2>&1; then
  missing=("${missing[@]/nodejs}")
fi
read -r -a missing <<<"${missing[*]}"

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
