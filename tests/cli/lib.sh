# Shared by the kxfile end-to-end tests. A test script is run as
#   bash SCRIPT KXFILE SOURCE_DIR
# in a fresh temporary directory, which it leaves when done.
set -uo pipefail
KXFILE="$(realpath "$1")"
SOURCE_DIR="$(realpath "$2")"
EXPECTED="$SOURCE_DIR/tests/cli/expected"
WORK="$(mktemp -d)"
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs kxfile; its exit status in $status, its output in out.txt and err.txt.
run() {
  "$KXFILE" "$@" >out.txt 2>err.txt
  status=$?
}

expect_status() {  # STATUS WHAT
  [ "$status" = "$1" ] || fail "$2: exit status $status, expected $1; stderr: $(head -c 400 err.txt)"
}

# Runs kxfile ARGS and checks its exit status.
check() {  # STATUS WHAT ARGS...
  local code=$1 what=$2
  shift 2
  run "$@"
  expect_status "$code" "$what"
}

expect_same() {  # EXPECTED_FILE ACTUAL_FILE WHAT
  if ! cmp -s "$1" "$2"; then
    fail "$3: $2 differs from $1"
    diff <(od -An -c "$1") <(od -An -c "$2") | head -10 >&2
  fi
}

# FILE holds exactly the bytes printf FORMAT makes.
expect_bytes() {  # FORMAT FILE WHAT
  printf "$1" > want.bin
  expect_same want.bin "$2" "$3"
}

expect_in() {  # TEXT FILE WHAT
  grep -qF -- "$1" "$2" || fail "$3: '$1' not in $2: $(head -c 300 "$2" | cat -v)"
}

expect_missing() {  # PATH WHAT
  [ ! -e "$1" ] || fail "$2: $1 exists"
}

# No temporary file of a transfer is left in DIR.
expect_no_temporaries() {  # DIR WHAT
  if ls "$1" | grep -q '^KX.*\.TMP$'; then fail "$2: temporary file left in $1"; fi
}

# One row a line: STATUS|ARGS|TEXT. kxfile ARGS (shell words, quotes allowed)
# exits with STATUS and, unless TEXT is empty, says TEXT on standard error.
table() {
  local code args text
  while IFS='|' read -r code args text; do
    eval "run $args" </dev/null
    expect_status "$code" "kxfile $args"
    [ -z "$text" ] || expect_in "$text" err.txt "kxfile $args"
  done
}

# One row a line: ARGS|OUTPUT. kxfile ARGS succeeds and prints exactly the
# lines of OUTPUT (a printf format).
prints() {
  local args output
  while IFS='|' read -r args output; do
    eval "run $args" </dev/null
    expect_status 0 "kxfile $args"
    expect_bytes "$output\n" out.txt "kxfile $args"
  done
}

# One row a line: INPUT|ARGS|OUTPUT|TEXT, INPUT and OUTPUT printf formats.
# With the file `in` holding INPUT, kxfile ARGS succeeds and leaves exactly
# OUTPUT in the file `out`, saying TEXT (if any) on standard error.
transforms() {
  local input args output text
  while IFS='|' read -r input args output text; do
    printf "$input" > in
    rm -f out
    eval "run $args" </dev/null
    expect_status 0 "kxfile $args on '$input'"
    expect_bytes "$output" out "kxfile $args on '$input'"
    [ -z "$text" ] || expect_in "$text" err.txt "kxfile $args on '$input'"
  done
}

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  echo "all checks passed"
}
