# Shared by the shell tests of this folder: a scratch folder removed on exit
# ($work), failures counted and printed as they come (fail), and the verdict
# with the status ctest reads (finish).
set -uo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# finish WHAT: exits 1 after failures, else says that WHAT passed.
finish() {
  if [ $failures -ne 0 ]; then
    echo "$failures failure(s)" >&2
    exit 1
  fi
  echo "$1: all checks passed"
  exit 0
}
