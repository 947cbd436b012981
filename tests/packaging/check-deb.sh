#!/usr/bin/env bash
# Builds the Debian package from a built tree into a temporary folder and
# checks what it installs and what it depends on.
#   check-deb.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(ls "$work"/out/varnholt-control_*.deb)
dpkg-deb -x "$deb" "$work/root"
root=$work/root/usr

fail=0
for f in bin/varnholt-control bin/varnholt-scan bin/varnholt-serve \
  share/applications/varnholt-control.desktop \
  share/icons/hicolor/scalable/apps/varnholt-control.svg \
  share/metainfo/io.github.varnholt.Control.metainfo.xml \
  share/man/man1/varnholt-control.1.gz share/man/man1/varnholt-scan.1.gz \
  share/varnholt-control/host.mjs \
  share/doc/varnholt-control/copyright share/doc/varnholt-control/changelog.gz; do
  if [ ! -f "$root/$f" ]; then
    echo "missing from the package: /usr/$f"
    fail=1
  fi
done
if [ -e "$root/bin/varnholt-bench" ]; then
  echo "the benchmark is not for users: /usr/bin/varnholt-bench"
  fail=1
fi

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 libqt6dbus6 libqrencode4 \
  libmicrohttpd12 libarchive13 qt6-qpa-plugins nodejs lsof iproute2 procps; do
  if ! grep -Eq "(^|, )$dep( |,|$)" <<<"$depends"; then
    echo "not in Depends: $dep"
    fail=1
  fi
done

if ! grep -q "qt6-wayland" <<<"$(dpkg-deb -f "$deb" Recommends)"; then
  echo "not in Recommends: qt6-wayland"
  fail=1
fi

# Debian's own checks. The maintainer's address stays a placeholder until the
# project has one; every other error fails.
if command -v lintian >/dev/null 2>&1; then
  lintian --no-tag-display-limit "$deb" >"$work/lintian.log" 2>&1 || true
  cat "$work/lintian.log"
  if grep -E '^E: ' "$work/lintian.log" | grep -qv 'bogus-mail-host'; then
    echo "lintian reports errors"
    fail=1
  fi
else
  echo "lintian is not installed: its checks are skipped"
fi

desktop-file-validate "$root/share/applications/varnholt-control.desktop" || fail=1
appstreamcli validate --no-net "$root/share/metainfo/io.github.varnholt.Control.metainfo.xml" || fail=1
for page in varnholt-control varnholt-scan; do
  gzip -t "$root/share/man/man1/$page.1.gz" || fail=1
done
for program in varnholt-control varnholt-scan varnholt-serve; do
  version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$root/bin/$program" --version)
  if ! [[ $version =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]]; then
    echo "$program --version printed: $version"
    fail=1
  fi
done
exit $fail
