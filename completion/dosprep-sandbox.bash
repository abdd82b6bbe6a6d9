# bash completion for dosprep-sandbox(8): its options and their values; the
# words after "--" are a dosprep command line, completed as dosprep's.

# dosprep's completion, beside this file (installed, or in the source tree).
declare -F _dosprep_complete >/dev/null 2>&1 ||
    . "${BASH_SOURCE[0]%/*}/dosprep" 2>/dev/null ||
    . "${BASH_SOURCE[0]%/*}/dosprep.bash" 2>/dev/null

_dosprep_sandbox()
{
    local cur prev words cword i
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

    case $prev in
    --format) mapfile -t COMPREPLY < <(compgen -W "16 32 none" -- "$cur"); return ;;
    --controller) mapfile -t COMPREPLY < <(compgen -W "KLARN TOVRIXAR SCSI ATA -" -- "$cur"); return ;;
    --geometry) mapfile -t COMPREPLY < <(compgen -W "255/63/1024 16/63/1024" -- "$cur"); return ;;
    --bios-geometry) mapfile -t COMPREPLY < <(compgen -W "255/63 16/63" -- "$cur"); return ;;
    --vantor | --files | --keep)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --report | --binary | --preload)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --boot-node | --disk)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "${cur:-/dev/}")
        return
        ;;
    --size | --disks | --ssprimary-raw | --setup | --check | --argv0) return ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "--geometry --no-geometry --size --format --controller
        --ssprimary-raw --boot-node --disks --disk --no-disk --no-partition --partition-file
        --vantor --files --setup --check --report --boot --bios-geometry --keep --binary
        --preload --argv0 --help --" -- "$cur")
}

complete -F _dosprep_sandbox dosprep-sandbox
