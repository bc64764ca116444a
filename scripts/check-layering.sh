#!/usr/bin/env bash
# Only the operating-system layer includes system headers: the rest of the
# library reaches the system through src/platform/platform.h.
set -euo pipefail
cd "$(dirname "$0")/.."
pattern='#include <(windows\.h|winnetwk\.h|unistd\.h|fcntl\.h|dirent\.h|pthread\.h|sys/[a-z_]+\.h)>'
if grep -rnE "$pattern" src --include='*.cpp' --include='*.h' | grep -v '^src/platform/'; then
  echo "check-layering: system headers outside src/platform (above)" >&2
  exit 1
fi
echo "check-layering: only src/platform includes system headers"
