# bash completion for velto: its commands, each command's options as
# `velto COMMAND --help` lists them (so they follow the installed version), and
# the names of the files each command reads: images for apply and analyze
# (anything with --raw), videos for video, folders for --out-dir.

# Prints "OPTION ARG" lines for the options of `velto $2 --help`; ARG is 1 when
# the option takes a value (one space, not a column's two or more, parts it
# from the next word: "--raw WxH", not "--lossless    FFV1 ..."), 0 when not.
_velto_options()
{
    "$1" $2 --help 2>/dev/null | awk '/^  --/ {
        line = $0; sub(/^ +/, "", line); n = 0
        while (match(line, /^-[-A-Za-z0-9]*,?/)) {
            name = substr(line, 1, RLENGTH); sub(/,$/, "", name); names[++n] = name
            line = substr(line, RLENGTH + 1)
            if (line !~ /^ -/) break
            line = substr(line, 2)
        }
        takes = line ~ /^ [^ ]/ ? 1 : 0
        for (i = 1; i <= n; i++) print names[i], takes
    }'
}

_velto()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local velto=${COMP_WORDS[0]} command="" raw="" i w
    COMPREPLY=()
    for ((i = 1; i < COMP_CWORD; i++)); do
        w=${COMP_WORDS[i]}
        [[ -z $command && $w != -* ]] && command=$w
        [[ $w == --raw ]] && raw=1
    done
    if [[ -z $command ]]; then
        local commands
        commands=$("$velto" --help 2>/dev/null | awk '/^Commands:/ { on = 1; next } on && /^  [a-z]/ { print $1 } on && /^$/ { exit }')
        COMPREPLY=($(compgen -W "$commands --help -h --version" -- "$cur"))
        return
    fi

    local options takes
    options=$(_velto_options "$velto" "$command")
    takes=$(awk -v o="$prev" '$1 == o { print $2 }' <<<"$options")
    if [[ $takes == 1 ]]; then
        case $prev in
            --out-dir) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
            --format) COMPREPLY=($(compgen -W "png jpeg webp tiff heic avif ppm pam" -- "$cur")) ;;
        esac
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(awk '{ print $1 }' <<<"$options")" -- "$cur"))
        return
    fi

    local kinds=""
    case $command in
        apply | analyze) [[ -z $raw ]] && kinds="png|jpg|jpeg|webp|tif|tiff|heic|heif|avif|ppm|pgm|pbm|pnm|pam" ;;
        video) kinds="mkv|mp4|mov|avi|webm|m4v|mpg|mpeg|ts|mts|m2ts|mxf|flv|wmv|ogv|y4m|nut" ;;
    esac
    compopt -o filenames 2>/dev/null
    # One name a line: names with spaces stay whole.
    if [[ -z $kinds ]]; then
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
    fi
    local upper=${kinds^^} extglob_was=0
    shopt -q extglob && extglob_was=1
    shopt -s extglob
    mapfile -t COMPREPLY < <(compgen -d -- "$cur"; compgen -f -X "!*.@($kinds|$upper)" -- "$cur")
    ((extglob_was)) || shopt -u extglob
}
complete -F _velto velto
