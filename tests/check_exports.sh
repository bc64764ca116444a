#!/usr/bin/env bash
# The shared library exports exactly the kxFile functions the sources define
# with KXEXPORT, and the Windows .def file lists the same names.
# Usage: check_exports.sh LIBRARY SOURCE_DIR
set -euo pipefail
library=$1
sources=$2
defined=$(grep -rhoE 'KXEXPORT [^(]*KXAPI (kxFile[A-Za-z0-9]+)\(' "$sources/src" |
  grep -oE 'kxFile[A-Za-z0-9]+' | sort -u)
exported=$(nm -D --defined-only "$library" | awk '{print $3}' |
  grep -vE '^(_init|_fini|_edata|_end|__bss_start)$' | sort)
listed=$(grep -E '^[[:space:]]+kxFile' "$sources/src/platform/win32/kxfiles.def" | awk '{print $1}' | sort)
status=0
if [ "$exported" != "$defined" ]; then
  echo "exports of $library differ from the KXEXPORT definitions:"; diff <(echo "$defined") <(echo "$exported") || true
  status=1
fi
if [ "$listed" != "$defined" ]; then
  echo "kxfiles.def differs from the KXEXPORT definitions:"; diff <(echo "$defined") <(echo "$listed") || true
  status=1
fi
[ $status = 0 ] && echo "$(echo "$defined" | wc -l) kxFile functions exported, and nothing else"
exit $status
