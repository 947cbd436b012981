#!/usr/bin/env bash
# The layer check passes on this tree and catches each kind of fault in a
# tree made for the purpose: an include from a layer above, the core reaching
# for Qt Widgets, and includes that go round in a circle.
set -euo pipefail
check="$1/scripts/check-layers.sh"
"$check" "$1" >/dev/null

bad=$(mktemp -d)
trap 'rm -rf "$bad"' EXIT
mkdir -p "$bad/src/app/panel/rows" "$bad/src/app/controls" "$bad/src/scan" "$bad/src/exec"
echo '#include "app/AppDelegate.h"' >"$bad/src/app/panel/rows/Row.cpp"
echo '#include "app/panel/rows/Row.h"' >"$bad/src/app/controls/Button.cpp"
echo '' >"$bad/src/app/panel/rows/Row.h"
echo '' >"$bad/src/app/AppDelegate.h"
echo '#include <QMenu>' >"$bad/src/scan/Scanner.h"
echo '#include "B.h"' >"$bad/src/exec/A.h"
echo '#include "A.h"' >"$bad/src/exec/B.h"
if out=$("$check" "$bad" 2>&1); then
  echo "the check passed a tree with faults" >&2
  exit 1
fi
for expected in "rows may not include app/AppDelegate.h" "controls may not include app/panel/rows/Row.h" \
  "the core includes Qt Widgets <QMenu>" "include cycle: exec/A.h -> exec/B.h"; do
  if ! grep -qF "$expected" <<<"$out"; then
    echo "missing: $expected" >&2
    echo "$out" >&2
    exit 1
  fi
done
