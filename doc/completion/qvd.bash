# Bash completion for moxa and moxaw: the options after a dash, file and directory names otherwise
# and after "--". Installed under both program names, so that either name finds it.

_qvd_complete() {
    local current=${COMP_WORDS[COMP_CWORD]} word
    COMPREPLY=()
    # After "--" every word is a name, one that begins with a dash too.
    for word in "${COMP_WORDS[@]:1:COMP_CWORD-1}"; do
        if [ "$word" = -- ]; then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "$current")
            return
        fi
    done
    case $current in
    --align=*)
        mapfile -t COMPREPLY < <(compgen -W '--align=window --align=long-runs --align=histogram' \
            -- "$current")
        ;;
    --*)
        mapfile -t COMPREPLY < <(compgen -W '--align= --long-runs --context= --wrap --no-mouse
            --help --version' -- "$current")
        # --align= and --context= go on with their mode or number.
        [[ ${COMPREPLY[*]} == *= ]] && compopt -o nospace 2>/dev/null
        ;;
    -*)
        mapfile -t COMPREPLY < <(compgen -W '-a -b -c -d -e -h -l -m -n -o -s -v -w -z
            -1 -2 -3 -4 -5 -6 -7 -8 -9 --align= --long-runs --context= --wrap --no-mouse
            --help --version' -- "$current")
        ;;
    *)
        # Names as the shell would quote them; directories get their slash.
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
        ;;
    esac
}

complete -F _qvd_complete moxa moxaw
