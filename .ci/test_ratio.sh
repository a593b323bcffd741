#!/usr/bin/env bash
# Test lines against code lines: non-blank lines of the .cpp and .h files under
# tests/ and pskengine/tests/ (tests) and of every other .cpp and .h in src/,
# pskengine/, tools/ and bench/ (code).  Counts the checked-in files of the
# working tree, or of the commit named as the first argument.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ]; then
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  git archive "$1" | tar -x -C "$dir"
  mkdir -p "$dir/.ci" && cp "$0" "$dir/.ci/test_ratio.sh"
  git -C "$dir" init -q && git -C "$dir" add -A
  "$dir/.ci/test_ratio.sh"
  exit
fi
count() { cat "$@" /dev/null | grep -cv '^[[:space:]]*$' || true; }
mapfile -t tests < <(git ls-files -- 'tests/*.cpp' 'tests/*.h' 'pskengine/tests/*.cpp' 'pskengine/tests/*.h')
mapfile -t code < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'pskengine/*.cpp' 'pskengine/*.h' \
  'tools/*.cpp' 'tools/*.h' 'bench/*.cpp' 'bench/*.h' | grep -v '^pskengine/tests/')
t=$(count "${tests[@]}")
c=$(count "${code[@]}")
awk -v t="$t" -v c="$c" 'BEGIN { printf "tests %d, code %d, ratio %.3f\n", t, c, t / c }'
