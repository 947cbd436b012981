#!/usr/bin/env bash
# Sets up what is missing, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

build=build/test
werror=OFF
if [ "${CI:-}" = "true" ]; then
  werror=ON
fi
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_WERROR="$werror"
cmake --build "$build" -j2
cd "$build"
ctest --output-on-failure
