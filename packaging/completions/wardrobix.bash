# bash completion for wardrobix and wardrobix-sample-data.
#
# Everything offered is read from the program's own help, so the completion
# follows the program as it grows without being edited:
#   - options: every "--name" the help's option lines (indented, beginning
#     with "-") name before their description, or every "--name" the help
#     mentions when it has no such lines (a usage line alone); the word after
#     it (or after "=") names its value: one containing DIR completes folders,
#     one containing FILE or PATH completes files, any other takes free text;
#   - subcommands: the first word of each indented line under a heading
#     ending in "ommands:" ("Commands:", "Subcommands:"); after a subcommand
#     its own help ("PROGRAM SUBCOMMAND --help") gives the options.
# The program asked is the one on the command line, so a build folder's
# executable completes its own options.

# Prints "NAME VALUE" for each option the help text $1 mentions (VALUE is "-"
# for an option without a value), then "@command NAME" for each subcommand.
_wardrobix_parse_help() {
    local line rest name value in_commands=0 option_lines=0
    local -A seen=()
    # Help with option lines: other mentions ("see --shard") are no options.
    [[ $1 =~ (^|$'\n')[[:space:]]+- ]] && option_lines=1
    while IFS= read -r line; do
        if [[ $line =~ ^[[:alpha:]][[:alpha:][:space:]]*ommands:[[:space:]]*$ ]]; then
            in_commands=1
            continue
        fi
        if ((in_commands)); then
            if [[ $line =~ ^[[:space:]]+([[:alnum:]][-[:alnum:]_]*) ]]; then
                echo "@command ${BASH_REMATCH[1]}"
                continue
            fi
            in_commands=0
        fi
        rest=$line
        if ((option_lines)); then
            [[ $line =~ ^[[:space:]]+(-.*)$ ]] || continue
            rest=${BASH_REMATCH[1]}
            rest=${rest%%  *} # the description follows two spaces
        fi
        while [[ $rest =~ (^|[^-[:alnum:]])(--[[:alnum:]][-[:alnum:]]*)(.*)$ ]]; do
            name=${BASH_REMATCH[2]}
            rest=${BASH_REMATCH[3]}
            value=-
            if [[ $rest =~ ^[=[:space:]]([A-Z][-A-Z0-9_.:]*)([^-[:alnum:]]|$) ]]; then
                value=${BASH_REMATCH[1]}
            fi
            if [[ -z ${seen[$name]:-} ]]; then
                seen[$name]=1
                echo "$name $value"
            fi
        done
    done <<<"$1"
}

_wardrobix() {
    local program=${COMP_WORDS[0]}
    [[ $program == "~/"* ]] && program=$HOME/${program#"~/"}
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    local cword=$COMP_CWORD
    # "--data=DIR" arrives as "--data" "=" "DIR".
    if [[ $cur == = ]]; then
        cur=
        prev=${COMP_WORDS[cword - 1]}
    elif ((cword > 1)) && [[ ${COMP_WORDS[cword - 1]} == = ]]; then
        prev=${COMP_WORDS[cword - 2]}
    elif ((cword > 0)); then
        prev=${COMP_WORDS[cword - 1]}
    fi

    local help entries
    help=$("$program" --help 2>/dev/null) || help=
    entries=$(_wardrobix_parse_help "$help")

    # A subcommand earlier on the line switches to its own options.
    local -a commands=()
    local name value
    while read -r name value; do
        [[ $name == @command ]] && commands+=("$value")
    done <<<"$entries"
    if ((${#commands[@]})); then
        local i word
        for ((i = 1; i < cword; i++)); do
            word=${COMP_WORDS[i]}
            if [[ " ${commands[*]} " == *" $word "* ]]; then
                help=$("$program" "$word" --help 2>/dev/null) || help=
                entries=$(_wardrobix_parse_help "$help")
                commands=()
                break
            fi
        done
    fi

    COMPREPLY=()
    # The value of an option.
    if [[ $prev == --* ]]; then
        while read -r name value; do
            [[ $name == "$prev" && $value != - ]] || continue
            compopt -o filenames 2>/dev/null
            case $value in
            *DIR*) mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
            *FILE* | *PATH*) mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
            esac
            return 0
        done <<<"$entries"
    fi
    if [[ $cur == -* ]]; then
        local -a options=()
        while read -r name value; do
            [[ $name == --* ]] && options+=("$name")
        done <<<"$entries"
        mapfile -t COMPREPLY < <(compgen -W "${options[*]}" -- "$cur")
    elif ((${#commands[@]})); then
        mapfile -t COMPREPLY < <(compgen -W "${commands[*]}" -- "$cur")
    fi
    return 0
}

complete -o default -F _wardrobix wardrobix wardrobix-sample-data
