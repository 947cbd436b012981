#!/usr/bin/env bash
# Sets up what is missing, builds the app, installs the companion packaging
# script when none is there yet, and starts the app.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

build=build/run
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_BUILD_TESTS=OFF
cmake --build "$build" -j2 --target varnholt-control varnholt-scan varnholt-serve

./scripts/install-companion.sh

app="$build/src/app/varnholt-control"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Varnholt Control on a virtual display (Xvfb)."
  echo "Its window is there but invisible; run this from a desktop session to see it."
  exec xvfb-run -a -s "-screen 0 1440x900x24" "$app"
fi
exec "$app"
