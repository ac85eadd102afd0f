#!/usr/bin/env bash
# Builds the shipped binaries and the unsigned CD image twice, from two clean
# clones of one commit at two different paths, and compares them byte for
# byte: what a maker ships can then be checked against what the source builds.
#   tools/check_reproducible.sh [COMMIT]   (default HEAD; uncommitted changes are not in it)
# Needs the packages ./x deps installs. Exit 0 when every file is identical.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
COMMIT=$(git -C "$ROOT" rev-parse "${1:-HEAD}")
WORK=$(mktemp -d /tmp/devstart-repro.XXXXXX)
trap 'chmod -R u+w "$WORK" 2>/dev/null; rm -rf "$WORK"' EXIT

build_at() {
  local dir=$1
  git clone -q --no-hardlinks "$ROOT" "$dir"
  git -C "$dir" checkout -q "$COMMIT"
  # No compiler cache: a cached object would hide a compiler that is not
  # deterministic.
  (cd "$dir" && env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER cmake --preset win32 >/dev/null &&
    cmake --build build/win32 >/dev/null && /usr/bin/python3 tools/make_cd.py --unsigned >/dev/null)
}

echo "building $COMMIT twice"
build_at "$WORK/a/devstart"
build_at "$WORK/second-clone/devstart"

different=0 same=0
A=$WORK/a/devstart/build B=$WORK/second-clone/devstart/build
for f in win32/Devstart.exe win32/P4_Updlink.dll win32/SendScsiCmd.dll win32/ScsiCmdService.exe \
  $(cd "$A" && find cd/image -type f | sort) cd/TAVO_PHONE.iso; do
  if cmp -s "$A/$f" "$B/$f"; then same=$((same + 1)); else echo "differs: $f"; different=$((different + 1)); fi
done
echo "$same identical, $different different (commit $COMMIT)"
[ "$different" = 0 ]
