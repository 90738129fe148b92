#!/usr/bin/env bash
# `cmake --install` into a throw-away prefix, and the installed programs run
# from there:
#   - every file a desktop needs is where it looks for it, and the desktop
#     entry, the AppStream metadata, the icons and the manual pages pass their
#     validators;
#   - the manual pages describe every option the programs' help lists, and
#     every subcommand has a page of its own;
#   - the installed viewer says its version (and commit), draws a snapshot of
#     data made by the installed generator, reads its settings from the XDG
#     folder (not beside itself, even as root) and writes nothing into the
#     prefix; the same after the prefix has been moved elsewhere; the same
#     program outside an installation reads the settings beside itself.
#
#   install_test.sh BUILD_DIR SOURCE_DIR APP_ID
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
build=$1
source=$2
app_id=$3

prefix=$work/prefix
if ! cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1; then
  cat "$work/install.log" >&2
  echo "FAIL: cmake --install failed" >&2
  exit 1
fi

share=$prefix/share
expected=(
  bin/wardrobix bin/wardrobix-sample-data
  "share/applications/$app_id.desktop" "share/metainfo/$app_id.metainfo.xml"
  "share/icons/hicolor/scalable/apps/$app_id.svg"
  share/man/man1/wardrobix.1.gz share/man/man1/wardrobix-sample-data.1.gz
  share/man/man1/wardrobix-render.1.gz share/man/man1/wardrobix-catalogue.1.gz
  share/man/man1/wardrobix-merge.1.gz
  share/bash-completion/completions/wardrobix share/bash-completion/completions/wardrobix-sample-data
)
for size in 16 22 24 32 48 64 128 256; do
  expected+=("share/icons/hicolor/${size}x${size}/apps/$app_id.png")
done
for file in "${expected[@]}"; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
for program in wardrobix wardrobix-sample-data; do
  [ -x "$prefix/bin/$program" ] || fail "bin/$program is not executable"
done
modules=("$prefix"/lib*/wardrobix/wardrobix-export.so "$prefix"/lib/*/wardrobix/wardrobix-export.so)
[ -n "$(ls "${modules[@]}" 2>/dev/null)" ] || fail "the export module is not installed under lib/.../wardrobix"
ls "$share"/zsh/*/_wardrobix >/dev/null 2>&1 || fail "no zsh completion installed"

# Validators.
if ! out=$(desktop-file-validate "$share/applications/$app_id.desktop" 2>&1) || [ -n "$out" ]; then
  fail "desktop-file-validate: $out"
fi
if ! out=$(appstreamcli validate --no-net "$share/metainfo/$app_id.metainfo.xml" 2>&1); then
  fail "appstreamcli validate: $out"
fi
grep -qx "Icon=$app_id" "$share/applications/$app_id.desktop" || fail "the desktop entry does not name the icon $app_id"
exec_line=$(grep '^Exec=' "$share/applications/$app_id.desktop")
[ -x "$prefix/bin/${exec_line#Exec=}" ] || fail "the desktop entry starts $exec_line, which is not installed"
grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$share/metainfo/$app_id.metainfo.xml" ||
  fail "the metadata does not launch $app_id.desktop"

# Icons: each PNG is a PNG of its folder's size (width and height from its header).
for png in "$share"/icons/hicolor/*x*/apps/"$app_id.png"; do
  [ -f "$png" ] || continue
  size=$(basename "$(dirname "$(dirname "$png")")")
  signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
  [ "$signature" = 89504e470d0a1a0a ] || fail "$png is no PNG"
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
  [ "${width}x${height}" = "$size" ] || fail "$png is ${width}x${height}, not $size"
done
if command -v xmllint >/dev/null; then
  xmllint --noout "$share/icons/hicolor/scalable/apps/$app_id.svg" || fail "the SVG icon is not well-formed"
fi

# Manual pages: no warnings from man's formatter (as lintian runs it), and
# every option of the program's help named in its page.
options_of() { "$@" --help 2>&1 | grep -oE -- '--[[:alnum:]][-[:alnum:]]*' | sort -u; }
subcommands_of() {
  "$@" --help 2>&1 | awk '/^[[:alpha:]][[:alpha:] ]*ommands:[[:space:]]*$/ { on = 1; next }
    on && /^[[:space:]]+[[:alnum:]]/ { print $1; next } { on = 0 }'
}
page_text() { zcat "$share/man/man1/$1.1.gz" 2>/dev/null | sed 's/\\-/-/g'; }
for page in "$share"/man/man1/*.1.gz; do
  out=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>&1 >/dev/null)
  [ -z "$out" ] || fail "$(basename "$page"): $out"
  zcat "$page" | grep -q '@[A-Z_]*@' && fail "$(basename "$page") keeps a placeholder"
done
check_page() {  # check_page PAGE COMMAND...
  local page=$1 text option
  shift
  text=$(page_text "$page")
  if [ -z "$text" ]; then
    fail "no manual page $page.1 for '$*'"
    return
  fi
  for option in $(options_of "$@"); do
    grep -qF -- "$option" <<<"$text" || fail "$page.1 does not describe $option"
  done
}
# Every page written is installed.
for page in "$source"/packaging/man/*.1; do
  [ -f "$share/man/man1/$(basename "$page").gz" ] || fail "$(basename "$page") is not installed (missing from WBX_MAN_PAGES?)"
done
check_page wardrobix "$prefix/bin/wardrobix"
check_page wardrobix-sample-data "$prefix/bin/wardrobix-sample-data"
for subcommand in $(subcommands_of "$prefix/bin/wardrobix"); do
  check_page "wardrobix-$subcommand" "$prefix/bin/wardrobix" "$subcommand"
done

# Nothing refers back to the build: no run path in the programs.
for program in "$prefix"/bin/*; do
  if readelf -d "$program" 2>/dev/null | grep -qE 'RPATH|RUNPATH'; then
    fail "$(basename "$program") carries a run path: $(readelf -d "$program" | grep -E 'RPATH|RUNPATH')"
  fi
done

# The version: the project's, and the commit when built from a git checkout.
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
line=$("$prefix/bin/wardrobix" --version)
if top=$(git -C "$source" rev-parse --show-toplevel 2>/dev/null) &&
  [ "$(realpath "$top")" = "$(realpath "$source")" ]; then
  commit=$(git -C "$source" rev-parse --short=12 HEAD)
  [[ $line =~ ^wardrobix\ $version\ \(commit\ $commit(-modified)?\)$ ]] ||
    fail "--version printed '$line', expected version $version and commit $commit"
else
  [ "$line" = "wardrobix $version" ] || fail "--version printed '$line', expected 'wardrobix $version'"
fi

# Run from the prefix, and again from wherever the prefix is moved.
run_installed() {  # run_installed PREFIX LABEL
  local prefix=$1 label=$2 home=$work/home-$2 before after
  mkdir -p "$home"
  before=$(cd "$prefix" && find . | LC_ALL=C sort)
  if ! "$prefix/bin/wardrobix-sample-data" "$work/data-$label" >"$work/generate.log" 2>&1; then
    fail "$label: the installed generator failed: $(cat "$work/generate.log")"
    return
  fi
  # Installed, and run as whoever runs the tests (root included): the XDG file.
  reads_settings_from "$prefix/bin/wardrobix" "$work/data-$label" xdg "$label"
  if ! env -i PATH=/usr/bin:/bin HOME="$home" QT_QPA_PLATFORM=offscreen \
    "$prefix/bin/wardrobix" --data "$work/data-$label" --snapshot "$work/shot-$label.png" >"$work/run.log" 2>&1; then
    fail "$label: the installed viewer's snapshot failed: $(cat "$work/run.log")"
  fi
  [ -s "$work/shot-$label.png" ] || fail "$label: no snapshot written"
  # An export loads the installed export module.
  if ! env -i PATH=/usr/bin:/bin HOME="$home" "$prefix/bin/wardrobix" render --data "$work/data-$label" \
    --size 64x48 --glb "$work/figure-$label.glb" >"$work/export.log" 2>&1; then
    fail "$label: the installed viewer could not export a model: $(cat "$work/export.log")"
  fi
  [ -s "$work/figure-$label.glb" ] || fail "$label: no .glb written"
  env -i PATH=/usr/bin:/bin HOME="$home" "$prefix/bin/wardrobix" --version >/dev/null ||
    fail "$label: --version failed"
  after=$(cd "$prefix" && find . | LC_ALL=C sort)
  [ "$before" = "$after" ] || fail "$label: the programs wrote into the prefix: $(diff <(echo "$before") <(echo "$after"))"
}
run_installed "$prefix" installed
mv "$prefix" "$work/moved"
run_installed "$work/moved" moved

# The same program outside an installation (as in its build folder) keeps
# its settings beside itself.
mkdir -p "$work/uninstalled"
cp "$work/moved/bin/wardrobix" "$work/uninstalled/"
reads_settings_from "$work/uninstalled/wardrobix" "$work/data-moved" beside uninstalled
# Without its export module beside it or installed, the program still draws
# and says which module an export lacks.
if out=$("$work/uninstalled/wardrobix" render --data "$work/data-moved" --glb "$work/lost.glb" 2>&1); then
  fail "an export without the export module succeeded"
fi
grep -q 'export module "wardrobix-export.so" is missing' <<<"$out" ||
  fail "an export without the export module said: $out"
if [ -e "$work/lost.glb" ]; then fail "an export without the export module left a file"; fi

finish "install"
