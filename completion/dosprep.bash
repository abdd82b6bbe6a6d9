# bash completion for dosprep(8): the options, file names after --show,
# --diff and --dos, and device nodes after --bytewrite.

_dosprep()
{
    local cur prev words cword
    _dosprep_words || return
    _dosprep_complete
}

# Sets the caller's cur, prev, words and cword, through bash-completion when
# it is loaded.
_dosprep_words()
{
    if declare -F _init_completion >/dev/null 2>&1; then
        _init_completion
    else
        words=("${COMP_WORDS[@]}")
        cword=$COMP_CWORD
        cur=${words[cword]}
        prev=${words[cword - 1]}
    fi
}

# The completion of a dosprep command line held in the caller's words,
# cword and cur (dosprep-sandbox hands on what follows its "--").
_dosprep_complete()
{
    COMPREPLY=()

    # dosprep looks at its command line only when it has 1 to 5 arguments.
    ((cword > 5)) && return

    # The first option that acts at once ends the run: what follows it is
    # its operands, then nothing.
    local i first= at=0
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --show | --diff | --dos | --bytewrite | --help | --version | -v)
            first=${words[i]}
            at=$i
            break
            ;;
        esac
    done
    local n=$((cword - at))
    case $first in
    --show) ((n == 1)) && _dosprep_files ;;
    --diff) ((n <= 2)) && _dosprep_files ;;
    --dos) ((n <= 2)) && _dosprep_files ;;  # then the size in megabytes
    --bytewrite)
        if ((n == 1)); then
            compopt -o filenames 2>/dev/null
            mapfile -t COMPREPLY < <(compgen -f -- "${cur:-/dev/}")
        elif ((n <= 3)) && [[ -z $cur ]]; then
            compopt -o nospace 2>/dev/null
            COMPREPLY=(0x)
        fi
        ;;
    ?*) ;;
    *)
        local opts="--sfdisk16 --sfdisk32 --geodisk --write16 --write32
            --msdrivecount --fixata --bytewrite --test --debug --show --diff
            --dos --help --version -v"
        if [[ $cur == --debug* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "$(printf -- '--debug%s ' {0..9} {a..z})" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "$opts" -- "$cur")
            # --debug takes its level as the next character
            [[ ${COMPREPLY[*]} == --debug ]] && compopt -o nospace 2>/dev/null
        fi
        ;;
    esac
}

_dosprep_files()
{
    if declare -F _filedir >/dev/null 2>&1; then
        _filedir
    else
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

complete -F _dosprep dosprep
