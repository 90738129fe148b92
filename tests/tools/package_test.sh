#!/usr/bin/env bash
# The Debian package: `cpack -G DEB` from the build folder, then
#   - its control fields: the project's version, and dependencies computed by
#     dpkg-shlibdeps (versioned library packages, each satisfied on this
#     machine, where the programs ran);
#   - its contents: the programs and the desktop files under /usr, owned by
#     root, nothing else;
#   - installed with dpkg into a throw-away root (unpacked with dpkg-deb when
#     dpkg cannot be used), the viewer says its version, draws a snapshot and
#     reads its settings from the XDG folder, writing nothing into the root's
#     /usr.
#
#   package_test.sh BUILD_DIR APP_ID
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
build=$1
app_id=$2

if ! (cd "$build" && cpack -G DEB -B "$work/out") >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log" >&2
  echo "FAIL: cpack -G DEB failed" >&2
  exit 1
fi
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || {
  echo "FAIL: cpack made no single .deb: ${debs[*]}" >&2
  exit 1
}
deb=${debs[0]}

# Control fields.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
[ "$(dpkg-deb -f "$deb" Package)" = wardrobix ] || fail "package name: $(dpkg-deb -f "$deb" Package)"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "version $(dpkg-deb -f "$deb" Version), not $version"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$(dpkg --print-architecture)" ] ||
  fail "architecture $(dpkg-deb -f "$deb" Architecture)"
maintainer=$(dpkg-deb -f "$deb" Maintainer)
[[ $maintainer =~ ^[^\<\>]*[^[:space:]\<\>]\ \<[^\<\>@[:space:]]+@[^\<\>@[:space:]]+\>$ ]] ||
  fail "Maintainer '$maintainer' is not 'Name <address>'"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
# Each dependency holds on this machine, where the programs ran: the package
# is installed in a version the constraint accepts.
declare -A constraint=()
IFS=',' read -r -a clauses <<<"$depends"
for clause in "${clauses[@]}"; do
  clause=${clause# }
  name=${clause%% *}
  constraint[$name]=$clause
  installed=$(dpkg-query -W -f='${Version}' "$name" 2>/dev/null) || {
    fail "dependency $name is not installed here"
    continue
  }
  if [[ $clause =~ \(([<>=]+)\ ([^\)]+)\) ]]; then
    case ${BASH_REMATCH[1]} in
    '>=') relation=ge ;; '>>') relation=gt ;; '=') relation=eq ;; '<=') relation=le ;; *) relation=lt ;;
    esac
    dpkg --compare-versions "$installed" $relation "${BASH_REMATCH[2]}" ||
      fail "$name $installed does not satisfy $clause"
  fi
done
# Computed, not listed by hand: a versioned clause for each library the programs
# and the export module link.
for library in libc6 libstdc++6 zlib1g libqt6core6 libqt6gui6 libqt6widgets6 libwebp7 libgif7; do
  [[ ${constraint[$library]:-} == "$library (>= "* ]] || fail "Depends lacks a versioned $library: $depends"
done

# Contents.
listing=$(dpkg-deb -c "$deb")
for file in usr/bin/wardrobix usr/bin/wardrobix-sample-data "usr/share/applications/$app_id.desktop" \
  "usr/share/metainfo/$app_id.metainfo.xml" "usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
  "usr/share/icons/hicolor/48x48/apps/$app_id.png" usr/share/man/man1/wardrobix.1.gz \
  usr/share/bash-completion/completions/wardrobix; do
  grep -qE " \./$file\$" <<<"$listing" || fail "the package lacks /$file"
done
outside=$(awk '{ print $6 }' <<<"$listing" | grep -vE '^\./(usr(/.*)?)?$')
[ -z "$outside" ] || fail "files outside /usr: $outside"
owners=$(awk '{ print $2 }' <<<"$listing" | sort -u)
[ "$owners" = root/root ] || fail "files not owned by root/root: $owners"
grep -qE '^-rwxr-xr-x .* \./usr/bin/wardrobix$' <<<"$listing" || fail "/usr/bin/wardrobix is not mode 755"
grep -qE ' \./usr/lib/([^/]+/)?wardrobix/wardrobix-export\.so$' <<<"$listing" ||
  fail "the package lacks the export module (/usr/lib/.../wardrobix/wardrobix-export.so)"

# Installed into a throw-away root.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
# The root holds nothing else, so the dependencies cannot be met there.
if dpkg --root="$root" --log=/dev/null --force-depends --force-not-root --force-script-chrootless \
  -i "$deb" >"$work/dpkg.log" 2>&1; then
  status=$(dpkg-query --root="$root" -W -f='${Status}' wardrobix 2>/dev/null)
  [ "$status" = "install ok installed" ] || fail "dpkg installed it as '$status'"
else
  echo "dpkg cannot install into a root here ($(tail -n 1 "$work/dpkg.log")); unpacking with dpkg-deb" >&2
  dpkg-deb -x "$deb" "$root" || fail "dpkg-deb -x failed"
fi
viewer=$root/usr/bin/wardrobix
before=$(cd "$root/usr" && find . | LC_ALL=C sort)
out=$(env -i PATH=/usr/bin:/bin HOME="$work/home" "$viewer" --version 2>&1)
[[ $out == "wardrobix $version"* ]] || fail "installed --version printed '$out'"
"$root/usr/bin/wardrobix-sample-data" "$work/data" >/dev/null 2>&1 || fail "the installed generator failed"
if ! out=$(env -i PATH=/usr/bin:/bin HOME="$work/home" QT_QPA_PLATFORM=offscreen \
  "$viewer" --data "$work/data" --snapshot "$work/shot.png" 2>&1); then
  fail "the installed viewer's snapshot failed: $out"
fi
[ -s "$work/shot.png" ] || fail "no snapshot written"
if ! out=$(env -i PATH=/usr/bin:/bin HOME="$work/home" "$viewer" render --data "$work/data" --size 64x48 \
  --glb "$work/figure.glb" --turntable 2 -o "$work/turn.webp" 2>&1); then
  fail "the installed viewer could not export (its export module): $out"
fi
[ -s "$work/figure.glb" ] && [ -s "$work/turn.webp" ] || fail "the installed viewer wrote no .glb or .webp"
reads_settings_from "$viewer" "$work/data" xdg package
after=$(cd "$root/usr" && find . | LC_ALL=C sort)
[ "$before" = "$after" ] || fail "the programs wrote into /usr: $(diff <(echo "$before") <(echo "$after"))"

finish "package"
