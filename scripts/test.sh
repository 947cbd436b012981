#!/usr/bin/env bash
# Sets up what is missing, builds and runs every test, then runs each fuzz
# target for a few seconds. With --sanitize: builds and runs the test suite
# under AddressSanitizer and UBSan instead.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=test
case "${1:-}" in
  "") ;;
  --sanitize) mode=sanitize ;;
  *)
    echo "usage: $0 [--sanitize]" >&2
    exit 2
    ;;
esac

./scripts/setup.sh

werror=OFF
if [ "${CI:-}" = "true" ]; then
  werror=ON
fi

if [ "$mode" = sanitize ]; then
  build=build/sanitize
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_WERROR="$werror" \
    -DVARNHOLT_SANITIZE=ON
  cmake --build "$build" -j2
  cd "$build"
  ctest --output-on-failure -j2
  exit 0
fi

build=build/test
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_WERROR="$werror"
cmake --build "$build" -j2
(cd "$build" && ctest --output-on-failure)

# The parsers' fuzz targets need clang's libFuzzer; they build apart, in a
# clang build of their own that holds only them and the core they test.
if ! command -v clang++ >/dev/null 2>&1; then
  echo "clang++ not found: the fuzz targets are skipped"
  exit 0
fi
fuzz=build/fuzz
cmake -S . -B "$fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVARNHOLT_WERROR="$werror" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DVARNHOLT_FUZZ=ON -DVARNHOLT_BUILD_TESTS=OFF
cmake --build "$fuzz" -j2 --target varnholt_fuzzers
cd "$fuzz"
ctest --output-on-failure -j2
