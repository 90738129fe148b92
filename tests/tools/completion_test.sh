#!/usr/bin/env bash
# The bash completion, driven as bash drives it (COMP_WORDS, COMP_CWORD):
# the viewer's and the generator's options and what their values complete to,
# "--option=value", and subcommands with options of their own, from a
# stand-in program whose help has the layout of a subcommand-style parser.
#
#   completion_test.sh SOURCE_DIR VIEWER GENERATOR
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
completion=$(realpath "$1")/packaging/completions/wardrobix.bash
viewer=$(realpath "$2")
generator=$(realpath "$3")

cd "$work"
mkdir -p data-a data-b
touch data-file.png
cat >stand-in <<'PROGRAM'
#!/bin/bash
if [ "${1:-}" = render ]; then
  printf '%s\n' 'Renders outfits' 'Usage: stand-in render [OPTIONS] OUTFIT...' '' 'Options:' \
    '  -h,--help                   Print this help message and exit' \
    '  --size INT                  Edge of the image in pixels' \
    '  --out TEXT:DIR              Output folder'
  exit 0
fi
printf '%s\n' 'Usage: stand-in [OPTIONS] [SUBCOMMAND]' '' 'Options:' \
  '  -h,--help                   Print this help message and exit' \
  '  --data TEXT:DIR             Data folder' \
  '  --version                   Display program version information and exit' '' \
  'Subcommands:' \
  '  render                      Render outfits' \
  '  catalogue                   A sheet of every item'
PROGRAM
chmod +x stand-in

# complete EXPECTED WORD...: the last word is the one being completed.
complete_words() {
  local expected=$1
  shift
  local got
  got=$(bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    _wardrobix; printf "%s\n" "${COMPREPLY[@]}" | LC_ALL=C sort | tr "\n" " "' _ "$completion" "$@" 2>&1)
  got=${got% }
  [ "$got" = "$expected" ] || fail "[$*] completed to '$got', expected '$expected'"
}

complete_words "--data --help --snapshot --version" "$viewer" --
complete_words "--data" "$viewer" --d
complete_words "data-a data-b" "$viewer" --data data
complete_words "data-a data-b" "$viewer" --data = data
complete_words "data-a data-b data-file.png" "$viewer" --snapshot data
complete_words "data-a data-b data-file.png" "$viewer" --data data-a --snapshot = data
complete_words "" "$viewer" --version ""
complete_words "--seed" "$generator" --
complete_words "" "$generator" --seed ""

complete_words "catalogue render" ./stand-in ""
complete_words "render" ./stand-in r
complete_words "--data --help --version" ./stand-in --
complete_words "--help --out --size" ./stand-in render --
complete_words "--help --out --size" ./stand-in --data data-a render -
complete_words "data-a data-b" ./stand-in render --out ""
complete_words "" ./stand-in render --size ""
complete_words "" ./missing-program --

finish "completion"
