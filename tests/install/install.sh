#!/usr/bin/env bash
# The install route of the README: `cmake --install` into a temporary prefix,
# then the README's C example built against it with pkg-config and with
# CMake's find_package, each run on a CP437 text and compared with iconv, and
# the installed kxfile run without LD_LIBRARY_PATH.
#   bash install.sh BUILD_DIR SOURCE_DIR
source "$(dirname "$0")/../cli/lib.sh"
BUILD=$KXFILE  # the first argument: here the build directory
unset LD_LIBRARY_PATH

prefix="$WORK/prefix"
cmake --install "$BUILD" --prefix "$prefix" >install.log 2>&1 || { cat install.log >&2; exit 1; }

# The installed tool finds its library by its run path.
"$prefix/bin/kxfile" --version >version.txt 2>&1 || fail "installed kxfile --version: $(cat version.txt)"
grep -q "^kxfile [0-9]" version.txt || fail "kxfile --version names no version: $(cat version.txt)"
grep -qF "($prefix/lib" version.txt || fail "installed kxfile runs with a library outside the prefix: $(cat version.txt)"

# The C example, as the README shows it.
awk '/^## Using the library from C/ {inside = 1} inside && /^```c$/ {code = 1; next}
     code && /^```$/ {exit} code {print}' "$SOURCE_DIR/README.md" > records.c
[ -s records.c ] || fail "no C example in the README"
printf 'Gr\x81\xe1e aus \x8frhus\r\n\xc9\xcd\xbb box\r\n\r\nlast\r\n' > dos.txt
# Box drawing has no ISO 8859-1 counterpart: the library approximates it.
printf 'Gr\xfc\xdfe aus \xc5rhus\n+-+ box\n\nlast\n' > want.txt

pc="$prefix/lib/pkgconfig"
grep -qF 'prefix=${pcfiledir}' "$pc/kxfiles.pc" || fail "kxfiles.pc does not find its prefix: $(head -1 "$pc/kxfiles.pc")"
if cc -std=c99 -Wall -Werror records.c $(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs kxfiles) -o by-pkg-config 2>cc.log; then
  LD_LIBRARY_PATH="$prefix/lib" ./by-pkg-config dos.txt > got-pkg-config.txt || fail "the example (pkg-config) failed"
  expect_same want.txt got-pkg-config.txt "the example (pkg-config)"
  ./by-pkg-config missing.txt 2>err.txt && fail "the example succeeded on a missing file"
  grep -qi "not found\|no such\|cannot find" err.txt || fail "the example's error message: $(cat err.txt)"
else
  fail "the example does not build with pkg-config: $(head -5 cc.log)"
fi

mkdir project
cp records.c project/
cat > project/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.20)
project(records C)
find_package(kxfiles REQUIRED)
add_executable(records records.c)
target_link_libraries(records PRIVATE kxfiles::kxfiles)
CMAKE
if cmake -S project -B project-build -DCMAKE_PREFIX_PATH="$prefix" >cmake.log 2>&1 &&
   cmake --build project-build >>cmake.log 2>&1; then
  project-build/records dos.txt > got-cmake.txt || fail "the example (find_package) failed"
  expect_same want.txt got-cmake.txt "the example (find_package)"
else
  fail "the example does not build with find_package: $(tail -15 cmake.log)"
fi
finish
