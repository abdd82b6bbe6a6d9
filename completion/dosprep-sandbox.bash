# bash completion for dosprep-sandbox(8): its options and their values, as
# its option table lists them; the words after "--" are a dosprep command
# line, completed as dosprep's.

# dosprep's completion, beside this file (installed, or in the source tree).
declare -F _dosprep_complete >/dev/null 2>&1 ||
    . "${BASH_SOURCE[0]%/*}/dosprep" 2>/dev/null ||
    . "${BASH_SOURCE[0]%/*}/dosprep.bash" 2>/dev/null

# The option table: installed under lib/dosprep/sandbox, or in the source tree.
_dosprep_sandbox_table=
for _dosprep_sandbox_table in "${BASH_SOURCE[0]%/*}/../../../lib/dosprep/sandbox/options" \
    "${BASH_SOURCE[0]%/*}/../sandbox/lib/options"; do
    [[ -f $_dosprep_sandbox_table ]] && break
done

_dosprep_sandbox()
{
    local cur prev words cword i n name value var also comp help names=--
    _dosprep_words || return
    COMPREPLY=()

    for ((i = 1; i < cword; i++)); do
        if [[ ${words[i]} == -- ]]; then
            words=(dosprep "${words[@]:i+1}")
            cword=$((cword - i))
            _dosprep_complete
            return
        fi
    done

    while read -r name value var also comp help; do
        [[ $name == -* ]] || continue
        for n in ${name//,/ }; do [[ $n == --* ]] && names+=" $n"; done
        [[ ,$name, == *",$prev,"* && $value != - ]] || continue
        case $comp in
        -) ;;
        @dir) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -d -- "$cur") ;;
        @file) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -f -- "$cur") ;;
        @node) compopt -o filenames 2>/dev/null; mapfile -t COMPREPLY < <(compgen -f -- "${cur:-/dev/}") ;;
        @drivers) # the first word of each line of the driver table beside the option table
            mapfile -t COMPREPLY < <(compgen -W "$(while read -r n _; do [[ $n == [!#]* ]] && echo "$n"; done \
                <"${_dosprep_sandbox_table%/*}/drivers")" -- "$cur") ;;
        *,@file) compopt -o filenames 2>/dev/null
            comp=${comp%,@file}
            mapfile -t COMPREPLY < <(compgen -W "${comp//,/ }" -- "$cur"; compgen -f -- "$cur") ;;
        *) mapfile -t COMPREPLY < <(compgen -W "${comp//,/ }" -- "$cur") ;;
        esac
        return
    done <"$_dosprep_sandbox_table"
    mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
}

complete -F _dosprep_sandbox dosprep-sandbox
