#!/usr/bin/env bash
# The layering check passes on the library's tree and fails on a tree that
# breaks each of its rules: an include that points up, one into an unknown
# folder, a system header outside the platform layer, and kxfile reaching
# into the library.
set -uo pipefail
root=$1
check="$root/scripts/check-layering.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

bash "$check" >/dev/null || { echo "FAIL: the library's own tree is refused"; failures=$((failures + 1)); }

make_tree() {
  rm -rf "$work/tree"
  mkdir -p "$work/tree/src/core" "$work/tree/src/text" "$work/tree/cli"
  echo '#include "core/errors.h"' > "$work/tree/src/text/text.cpp"
  echo '#include "kxfiles.h"' > "$work/tree/cli/main.cpp"
}

expect_refused() {
  local what=$1
  if KXFILES_LAYERING_ROOT="$work/tree" bash "$check" >/dev/null 2>&1; then
    echo "FAIL: not refused: $what"
    failures=$((failures + 1))
  fi
}

make_tree
KXFILES_LAYERING_ROOT="$work/tree" bash "$check" >/dev/null || { echo "FAIL: a sound tree is refused"; failures=$((failures + 1)); }

make_tree; echo '#include "text/text_layer.h"' > "$work/tree/src/core/up.cpp"
expect_refused "core including text"
make_tree; mkdir -p "$work/tree/src/extra"; echo 'int x;' > "$work/tree/src/extra/x.cpp"
expect_refused "a folder outside the list"
make_tree; echo '#include <unistd.h>' > "$work/tree/src/core/sys.cpp"
expect_refused "a system header in core"
make_tree; echo '#include "core/handle.h"' >> "$work/tree/cli/main.cpp"
expect_refused "kxfile including a library header"

echo "$((5 - failures)) passed, $failures failed"
[ "$failures" = 0 ]
