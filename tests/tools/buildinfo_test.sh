#!/usr/bin/env bash
# The version stamp (cmake/BuildInfo.cmake run as the build runs it): the
# commit of a git checkout, marked when the checkout has changes; none for
# sources that are no checkout of their own (an unpacked tarball, also inside
# another repository; a repository without commits); and the header left
# untouched when nothing changed, so that an unchanged build recompiles nothing.
#
#   buildinfo_test.sh SOURCE_DIR
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
script=$1/cmake/BuildInfo.cmake
stamp() {  # stamp SOURCE: prints the header's WBX_COMMIT value
  cmake -DSOURCE_DIR="$1" -DVERSION=4.5.6 -DOUTPUT="$work/buildinfo.h" -P "$script" || fail "the script failed on $1"
  grep -q '^#define WBX_VERSION "4.5.6"$' "$work/buildinfo.h" || fail "no version in: $(cat "$work/buildinfo.h")"
  sed -n 's/^#define WBX_COMMIT "\(.*\)"$/\1/p' "$work/buildinfo.h"
}
git_quiet() { git -c user.name=t -c user.email=t@t -c init.defaultBranch=main "$@" >/dev/null 2>&1; }

# A checkout.
repo=$work/repo
mkdir -p "$repo/sub"
git_quiet init "$repo"
echo one >"$repo/file"
echo two >"$repo/sub/other"
git_quiet -C "$repo" add .
git_quiet -C "$repo" commit -m first
commit=$(git -C "$repo" rev-parse --short=12 HEAD)
[ "$(stamp "$repo")" = "$commit" ] || fail "checkout: '$(stamp "$repo")', expected $commit"

# Unchanged: the header keeps its time stamp.
touch -d '2001-01-01' "$work/buildinfo.h"
stamp "$repo" >/dev/null
[ "$(stat -c %Y "$work/buildinfo.h")" = "$(date -d 2001-01-01 +%s)" ] || fail "an unchanged header was rewritten"

# Local changes to tracked files are marked; untracked files are not changes.
echo new >"$repo/untracked"
[ "$(stamp "$repo")" = "$commit" ] || fail "an untracked file marked the build: '$(stamp "$repo")'"
echo changed >"$repo/file"
[ "$(stamp "$repo")" = "$commit-modified" ] || fail "changes: '$(stamp "$repo")', expected $commit-modified"

# A folder inside the checkout (a tarball unpacked into some repository) is no checkout of its own.
[ -z "$(stamp "$repo/sub")" ] || fail "a folder inside a repository got '$(stamp "$repo/sub")'"

# A tarball: no repository at all.
mkdir -p "$work/tarball"
cp "$repo/file" "$work/tarball/"
[ -z "$(stamp "$work/tarball")" ] || fail "a folder without git got '$(stamp "$work/tarball")'"

# A repository without commits.
git_quiet init "$work/empty"
[ -z "$(stamp "$work/empty")" ] || fail "a repository without commits got '$(stamp "$work/empty")'"

finish "build info"
