#!/usr/bin/env bash
# Puts the companion packaging script where the app looks for it, unless a
# script is there already: a user's own copy is never overwritten.
set -euo pipefail
cd "$(dirname "$0")/.."

dest="$HOME/.claude/skills/varnholt/payload/host.mjs"
if [ -e "$dest" ] || [ -L "$dest" ]; then
  echo "Companion script already present at $dest (left as it is)."
  exit 0
fi
mkdir -p "$(dirname "$dest")"
cp companion/host.mjs "$dest"
echo "Installed the companion script at $dest."
