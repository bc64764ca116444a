#!/usr/bin/env bash
# The layering check passes on the library's tree and on a sound tree, and
# fails on a tree that breaks each of its rules.
set -uo pipefail
check="$1/scripts/check-layering.sh"
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
bash "$check" >/dev/null || fail "the library's own tree is refused"

# Rows: what the tree holds|a file|the line added to it (none: a sound tree).
while IFS='|' read -r what file text; do
  rm -rf "${tree:?}"/*
  mkdir -p "$tree/src/core" "$tree/src/text" "$tree/cli" "$(dirname "$tree/$file")"
  echo '#include "core/errors.h"' > "$tree/src/text/text.cpp"
  echo '#include "kxfiles.h"' > "$tree/cli/main.cpp"
  [ -z "$file" ] || echo "$text" >> "$tree/$file"
  KXFILES_LAYERING_ROOT="$tree" bash "$check" >/dev/null 2>&1
  status=$?
  [ $((status != 0)) = $((${#file} > 0)) ] || fail "$what: exit status $status"
done <<'CASES'
a sound tree||
core including text|src/core/up.cpp|#include "text/text_layer.h"
a folder outside the list|src/extra/x.cpp|int x;
a system header in core|src/core/sys.cpp|#include <unistd.h>
kxfile including a library header|cli/main.cpp|#include "core/handle.h"
CASES
echo "$((6 - failures)) passed, $failures failed"
[ "$failures" = 0 ]
