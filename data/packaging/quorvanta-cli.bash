# bash completion for quorvanta-cli
_quorvanta_cli()
{
    local cur prev words cword
    _init_completion || return
    local commands="dump resave tariffs log price compare status recover entries profiles holidays sounds
        programs time stats report repricing modems sms plans usage skins popup monitor dial hangup version"
    if [[ $cword -eq 1 ]]; then
        COMPREPLY=($(compgen -W "$commands --data-dir --simulate --help --version" -- "$cur"))
        return
    fi
    case ${words[1]} in
        tariffs) COMPREPLY=($(compgen -W "list export import" -- "$cur")) ;;
        log) COMPREPLY=($(compgen -W "export import add summary --from --to --pulses --cost --entry --by" -- "$cur")) ;;
        stats) COMPREPLY=($(compgen -W "tree chart --measure --group --from --to --json" -- "$cur")) ;;
        report) COMPREPLY=($(compgen -W "details chart --node --connections --measure --group --legend --pdf" -- "$cur")) ;;
        popup) COMPREPLY=($(compgen -W "users groups messages send --to --text --at --daily" -- "$cur")) ;;
        holidays) COMPREPLY=($(compgen -W "list set unset" -- "$cur")) ;;
        sounds) COMPREPLY=($(compgen -W "list play export import" -- "$cur")) ;;
        sms) COMPREPLY=($(compgen -W "gateways contacts send queue messages" -- "$cur")) ;;
        plans) COMPREPLY=($(compgen -W "list add set remove status export import compare --from --to --received-only --both --no-allowance --block-price --no-limit --connection --interface --monthly --every --daily --allowance --price --per-gb --block --cap --warning --limit --json" -- "$cur")) ;;
        usage) COMPREPLY=($(compgen -W "--by --plan --from --to --json" -- "$cur")) ;;
        skins) COMPREPLY=($(compgen -W "list export import" -- "$cur")) ;;
        recover) COMPREPLY=($(compgen -W "--keep --discard" -- "$cur")) ;;
        *) COMPREPLY=($(compgen -f -- "$cur")) ;;
    esac
}
complete -F _quorvanta_cli quorvanta-cli
