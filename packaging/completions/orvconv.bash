# bash completion for orvconv                              -*- shell-script -*-
# Options, then ORV documents (.orv in any letter case) and folders; a
# folder after -o, any file after --files-from and --report.

_orvconv_names() {
    # $1: -d for folders only, -f for any file, or nothing for documents
    # and folders. One name a line, so that names with spaces stay whole.
    local IFS=$'\n'
    case $1 in
    -d) COMPREPLY=($(compgen -d -- "$2")) ;;
    -f) COMPREPLY=($(compgen -f -- "$2")) ;;
    *) COMPREPLY=($(compgen -d -- "$2") $(compgen -f -X '!*.[oO][rR][vV]' -- "$2")) ;;
    esac
}

_orvconv() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    # "--output-dir=DIR" comes as "--output-dir", "=", "DIR" where "=" breaks words.
    if [[ $cur == = ]]; then
        cur=
    elif [[ $prev == = ]] && ((COMP_CWORD >= 2)); then
        prev=${COMP_WORDS[COMP_CWORD - 2]}
    elif [[ $prev == = ]]; then
        prev=
    fi
    # ... or as one word, where "=" does not.
    if [[ $cur == --*=* ]]; then
        local option=${cur%%=*}
        COMP_WORDS[COMP_CWORD]=${cur#*=}
        COMP_WORDS[COMP_CWORD - 1]=$option
        _orvconv
        COMPREPLY=("${COMPREPLY[@]/#/$option=}")
        return
    fi

    local i
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            _orvconv_names '' "$cur"
            return
        fi
    done

    case $prev in
    -o | --output-dir)
        _orvconv_names -d "$cur"
        return
        ;;
    --files-from | --report)
        _orvconv_names -f "$cur"
        return
        ;;
    -j | --jobs)
        local jobs='1 2 4 8' processors
        processors=$(nproc 2>/dev/null)
        [[ -z $processors || " $jobs " == *" $processors "* ]] || jobs+=" $processors"
        COMPREPLY=($(compgen -W "$jobs" -- "$cur"))
        return
        ;;
    esac

    if [[ $cur == -* ]]; then
        local options='-a --accent -r --rtf -t --text -U --unicode --all -R --recursive -L --dereference
            -o --output-dir -j --jobs -u --update --files-from -0 --null --report --progress
            --no-progress --no-sync -n --dry-run -q --quiet -v --verbose --open -h --help
            -V --version --'
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    _orvconv_names '' "$cur"
}

complete -F _orvconv -o filenames orvconv
