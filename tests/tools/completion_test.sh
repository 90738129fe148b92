#!/usr/bin/env bash
# The bash completion, driven as bash drives it (COMP_WORDS, COMP_CWORD):
# the viewer's and the generator's options and what their values complete to,
# "--option=value", and subcommands with options of their own, from the
# viewer and from a stand-in program whose help has the layout of a
# subcommand-style parser. The zsh completion, with zsh's completion builtins
# replaced by ones that print what would be offered, on the same cases.
#
#   completion_test.sh SOURCE_DIR VIEWER GENERATOR
source "$(dirname "${BASH_SOURCE[0]}")/checks.sh"
completion=$(realpath "$1")/packaging/completions/wardrobix.bash
zsh_completion=$(realpath "$1")/packaging/completions/_wardrobix
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

complete_words "--data --help --outfit --snapshot --version" "$viewer" --
complete_words "--data" "$viewer" --d
complete_words "data-a data-b" "$viewer" --data data
complete_words "data-a data-b" "$viewer" --data = data
complete_words "data-a data-b data-file.png" "$viewer" --snapshot data
complete_words "data-a data-b data-file.png" "$viewer" --data data-a --snapshot = data
complete_words "catalogue merge render" "$viewer" --version ""
complete_words "catalogue merge render" "$viewer" --data data-a ""
complete_words "--turntable" "$viewer" render --tu
complete_words "data-a data-b" "$viewer" catalogue --output data
complete_words "data-a data-b data-file.png" "$viewer" render --glb data
# Options the help only mentions are none of the subcommand's.
complete_words "--help" "$viewer" merge --
complete_words "--items --seed" "$generator" --
complete_words "" "$generator" --seed ""

complete_words "catalogue render" ./stand-in ""
complete_words "render" ./stand-in r
complete_words "--data --help --version" ./stand-in --
complete_words "--help --out --size" ./stand-in render --
complete_words "--help --out --size" ./stand-in --data data-a render -
complete_words "data-a data-b" ./stand-in render --out ""
complete_words "" ./stand-in render --size ""
complete_words "" ./missing-program --

cat >drive.zsh <<'DRIVER'
completion=$1
shift
compadd() {
  local -a items
  if [[ $1 == -a ]]; then items=("${(@P)2}"); else items=("$@"); fi
  print -rl -- ${(M)items:#${PREFIX}*}
}
_describe() {
  local -a items=("${(@P)4}")
  items=(${items%%:*})
  print -rl -- ${(M)items:#${PREFIX}*}
}
_files() { if [[ ${1:-} == -/ ]]; then print -r -- "<folders>"; else print -r -- "<files>"; fi; }
_message() { print -r -- "<value ${@[-1]}>"; }
compset() { [[ $1 == -P ]] && PREFIX=${PREFIX#*=}; }
_call_program() { shift; eval "$@"; }
words=("$@")
CURRENT=${#words}
PREFIX=${words[CURRENT]}
source "$completion"
DRIVER
# zsh_complete EXPECTED WORD...: the last word is the one being completed.
zsh_complete() {
  local expected=$1
  shift
  local got
  got=$(zsh -f drive.zsh "$zsh_completion" "$@" 2>&1 | LC_ALL=C sort | tr "\n" " ")
  got=${got% }
  [ "$got" = "$expected" ] || fail "zsh [$*] completed to '$got', expected '$expected'"
}
if command -v zsh >/dev/null; then
  zsh_complete "--data --help --outfit --snapshot --version" "$viewer" --
  zsh_complete "catalogue merge render" "$viewer" ""
  zsh_complete "render" "$viewer" r
  zsh_complete "catalogue merge render" "$viewer" --data data-a ""
  zsh_complete "<folders>" "$viewer" --data ""
  zsh_complete "<folders>" "$viewer" --data=data
  zsh_complete "<folders>" "$viewer" --data = ""
  zsh_complete "<files>" "$viewer" --snapshot ""
  zsh_complete "--turntable" "$viewer" render --tu
  zsh_complete "<files>" "$viewer" render --glb ""
  zsh_complete "<folders>" "$viewer" catalogue --output ""
  zsh_complete "--help" "$viewer" merge --
  zsh_complete "--items --seed" "$generator" --
  zsh_complete "<value N>" "$generator" --seed ""
  zsh_complete "--help --out --size" ./stand-in --data data-a render -
  zsh_complete "<folders>" ./stand-in render --out ""
  zsh_complete "<value INT>" ./stand-in render --size ""
  zsh_complete "" ./missing-program --
else
  echo "zsh is not installed: its completion was not checked"
fi

finish "completion"
