# Shared by the shell tests of this folder: a scratch folder removed on exit
# ($work), failures counted and printed as they come (fail), the verdict with
# the status ctest reads (finish), and which settings file a viewer reads
# (reads_settings_from).
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

# Which settings file a viewer reads: a snapshot without --data takes the
# data folder from it. One candidate names the data, the other a folder that
# does not exist, so only the right reading draws.
#   reads_settings_from VIEWER DATA beside|xdg LABEL
reads_settings_from() {
  local viewer=$1 data=$2 expected=$3 label=$4 home=$work/home-settings config beside good bad
  config=$home/config/wardrobix/wardrobix.ini
  beside=$(dirname "$viewer")/wardrobix.ini
  mkdir -p "$(dirname "$config")"
  if [ "$expected" = beside ]; then good=$beside bad=$config; else good=$config bad=$beside; fi
  printf '[app]\npath=%s\n' "$data" >"$good"
  printf '[app]\npath=%s\n' "$work/no-such-folder" >"$bad"
  if ! env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" QT_QPA_PLATFORM=offscreen \
    "$viewer" --snapshot "$work/shot-settings.png" >"$work/settings.log" 2>&1; then
    fail "$label: the settings were not read from the $expected file: $(cat "$work/settings.log")"
  fi
  rm -f "$config" "$beside"
}
