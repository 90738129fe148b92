#!/usr/bin/env bash
# The package step of scripts/run and scripts/test (scripts/lib/common.sh),
# run against stand-in dpkg-query, apt-get, id and sudo commands: apt's
# output stays in a log unless the installation fails; a user without root
# and without sudo is told in one line what to run; and every tool the test
# suite starts comes from a package the scripts install.
#
#   packages_test.sh PROJECT_ROOT
set -uo pipefail
root=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" | head -n 4 >&2
  failures=$((failures + 1))
}

# A copy of the scripts' library in a tree of its own, so the log lands there.
mkdir -p "$work/tree/scripts/lib" "$work/bin"
cp "$root/scripts/lib/common.sh" "$work/tree/scripts/lib/"
for tool in bash cat dirname grep mkdir seq; do ln -s "$(command -v $tool)" "$work/bin/$tool"; done
# Stand-ins: packages named "present-*" are installed; apt-get prints a lot
# and fails when asked to; every call is recorded.
cat > "$work/bin/dpkg-query" <<'STUB'
#!/bin/bash
case "${@: -1}" in present-*) printf 'install ok installed' ;; *) exit 1 ;; esac
STUB
cat > "$work/bin/apt-get" <<'STUB'
#!/bin/bash
echo "apt-get $*" >> "$CALLS"
for i in $(seq 400); do echo "Unpacking package $i ..."; done
[ "${APT_FAILS:-0}" = 1 ] && [ "$1" = install ] && { echo "E: Unable to locate package"; exit 100; }
exit 0
STUB
cat > "$work/bin/id" <<'STUB'
#!/bin/bash
echo "${FAKE_UID:-0}"
STUB
cat > "$work/sudo" <<'STUB'
#!/bin/bash
echo "sudo $1" >> "$CALLS"
exec "$@"
STUB
chmod +x "$work/bin/"* "$work/sudo"

# Runs wbx_ensure_packages with the packages given; prints its output
# (stdout and stderr) and leaves its status in $status.
ensure() {
  : > "$work/calls"
  output=$(CALLS="$work/calls" PATH="$work/bin" bash -c '
    source "$1/scripts/lib/common.sh"
    shift
    WBX_PACKAGES=("$@")
    wbx_ensure_packages' _ "$work/tree" "$@" 2>&1)
  status=$?
}

# Nothing missing: silent, apt untouched.
ensure present-a present-b
[ $status -eq 0 ] || fail "all installed: status $status"
[ -z "$output" ] || fail "all installed: printed '$output'"
[ ! -s "$work/calls" ] || fail "all installed: apt-get was called"

# As root: one line while installing, apt's 800 lines only in the log.
ensure present-a missing-b missing-c
[ $status -eq 0 ] || fail "install as root: status $status"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] || fail "install as root printed: $output"
[[ $output == *missing-b*missing-c* ]] || fail "install as root does not name the packages: $output"
grep -q 'Unpacking package 400' "$work/tree/build/packages.log" || fail "apt's output is not in the log"
grep -q '^apt-get install .*missing-b missing-c' "$work/calls" || fail "apt-get install not called"

# A failed installation shows apt's output and fails.
APT_FAILS=1 ensure missing-b
[ $status -ne 0 ] || fail "failed install returned 0"
[[ $output == *"Unable to locate package"* ]] || fail "failed install hid apt's output: $output"

# Not root and no sudo: one line saying what to run, nothing attempted.
FAKE_UID=1000 ensure present-a missing-b
[ $status -ne 0 ] || fail "no sudo returned 0"
[ "$(printf '%s\n' "$output" | wc -l)" -eq 1 ] || fail "no sudo printed more than one line: $output"
[[ $output == *"apt-get install"*missing-b* ]] || fail "no sudo does not say what to run: $output"
[[ $output != *present-a* ]] || fail "no sudo names an installed package: $output"
[ ! -s "$work/calls" ] || fail "no sudo still called apt-get"

# Not root with sudo: apt-get through sudo.
ln -s "$work/sudo" "$work/bin/sudo"
FAKE_UID=1000 ensure missing-b
[ $status -eq 0 ] || fail "with sudo: status $status"
grep -q '^sudo apt-get' "$work/calls" || fail "apt-get was not run through sudo"

# Every tool the tests start (the memory check, the window manager test, the
# install and package checks) belongs to a package the scripts install; tools
# not installed here are left out of the check.
packages=$(bash -c 'source "$1/scripts/lib/common.sh"; echo " ${WBX_PACKAGES[*]} "' _ "$root")
for tool in valgrind Xvfb openbox xdotool convert desktop-file-validate appstreamcli dpkg-shlibdeps rsvg-convert man; do
  path=$(command -v "$tool") || continue
  owner=$(dpkg -S "$(readlink -f "$path")" 2>/dev/null | head -n 1 | cut -d: -f1) || continue
  [ -n "$owner" ] || continue
  # A tool may come from a dependency of a listed package (convert from imagemagick-6.q16).
  if [[ $packages != *" $owner "* ]] &&
    ! apt-cache rdepends --installed "$owner" 2>/dev/null | grep -qE "^  ($(echo $packages | tr ' ' '|'))\$"; then
    fail "$tool comes from $owner, which the scripts do not install"
  fi
done

if [ $failures -ne 0 ]; then
  echo "$failures failure(s)" >&2
  exit 1
fi
echo "package step: all checks passed"
