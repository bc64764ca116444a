#!/usr/bin/env bash
# The library's layering, checked from its #include lines:
#  - only the operating-system layer includes system headers: the rest of the
#    library reaches the system through src/platform/platform.h;
#  - a folder of src/ includes only its own headers, those of the folders
#    below it (the list below) and the public header;
#  - the kxfile tool includes only the public header and its own headers.
# KXFILES_LAYERING_ROOT checks another tree (the check's own test uses it).
set -euo pipefail
cd "${KXFILES_LAYERING_ROOT:-$(dirname "$0")/..}"

status=0
pattern='#include <(windows\.h|winnetwk\.h|unistd\.h|fcntl\.h|dirent\.h|pthread\.h|sys/[a-z_]+\.h)>'
if grep -rnE "$pattern" src --include='*.cpp' --include='*.h' | grep -v '^src/platform/'; then
  echo "check-layering: system headers outside src/platform (above)" >&2
  status=1
fi

# Each folder and the folders it may include, all of them below it:
#   file -> compress -> charset -> text -> core -> platform
#   charset -> dbcs -> core;  names -> fs -> core;  intl -> core
declare -A allowed=(
  [platform]=""
  [core]="platform"
  [text]="core platform"
  [dbcs]="core platform"
  [charset]="text dbcs core platform"
  [compress]="charset text dbcs core platform"
  [file]="compress charset text dbcs core platform"
  [fs]="core platform"
  [names]="fs core platform"
  [intl]="core platform"
)

for dir in src/*/; do
  folder=$(basename "$dir")
  if [ -z "${allowed[$folder]+set}" ]; then
    echo "check-layering: src/$folder has no place in the list of folders" >&2
    status=1
    continue
  fi
  while IFS= read -r line; do
    file=${line%%:*}
    target=$(sed -E 's/.*#include "([^"/]+)\/.*/\1/' <<<"$line")
    [ "$target" = "$folder" ] && continue
    case " ${allowed[$folder]} " in
      *" $target "*) ;;
      *) echo "check-layering: $file includes $target/, which src/$folder may not use" >&2
         status=1 ;;
    esac
  done < <(grep -rnE '#include "[a-z_]+/' "$dir" --include='*.cpp' --include='*.h' || true)
done

if grep -rnE '#include "[a-z_]+/' cli; then
  echo "check-layering: kxfile includes library internals (above); it uses only include/kxfiles.h" >&2
  status=1
fi

[ "$status" = 0 ] && echo "check-layering: system headers only in src/platform; every include points down"
exit "$status"
