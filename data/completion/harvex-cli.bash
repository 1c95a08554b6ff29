# bash completion for harvex-cli: its commands, each command's options, and
# the hosts the catalogue holds wherever a command or option names a host.

_harvex_cli_hosts()
{
    # The catalogue this command line points at: --data and --db given so far.
    local -a where=()
    local i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --data | --db) where+=("${words[i]}" "${words[i + 1]}") ;;
        esac
    done
    # A catalogue from an older version builds its name index on first use:
    # a Tab press waits two seconds at most for it.
    timeout -k 1 2 harvex-cli "${where[@]}" hosts 2>/dev/null | tail -n +2 | cut -f1
}

_harvex_cli()
{
    local cur prev words cword
    _init_completion -n := || return

    local commands="scan find dupes sql serve tree path hosts history changes recode copy rescan"
    local common="--data --db --format --help"
    local -A options=(
        [scan]="--user --password-stdin --passive --tls --trust --max-entries --max-depth --connections --restart --save --hosts-file --parallel-hosts"
        [find]="--regex --type --host --under --files --folders --min-size --max-size --newer --older --count --long --limit --sort --order --after --saved"
        [serve]="--listen --token-file --timeout"
        [dupes]="--by --min-size --host --limit"
        [copy]="--to --from --host"
        [rescan]="--older-than --failed --parallel-hosts"
        [hosts]="--long"
        [changes]="--run"
    )

    case $prev in
    --format) COMPREPLY=($(compgen -W "tsv csv json urls" -- "$cur")); return ;;
    --tls) COMPREPLY=($(compgen -W "require try off" -- "$cur")); return ;;
    --by) COMPREPLY=($(compgen -W "name,size size" -- "$cur")); return ;;
    --sort) COMPREPLY=($(compgen -W "name size date path host" -- "$cur")); return ;;
    --order) COMPREPLY=($(compgen -W "asc desc" -- "$cur")); return ;;
    --token-file) _filedir; return ;;
    --data) _filedir -d; return ;;
    --host)
        local IFS=$'\n'
        COMPREPLY=($(compgen -W "$(_harvex_cli_hosts)" -- "$cur"))
        __ltrim_colon_completions "$cur"
        return
        ;;
    --hosts-file) _filedir; return ;;
    --db | --to | --from | --user | --trust | --type | --under | --min-size | --max-size | --newer | --older | \
        --limit | --max-entries | --max-depth | --connections | --older-than | --parallel-hosts | --run | \
        --after | --saved | --listen | --timeout)
        return ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --data | --db | --format | --user | --tls | --trust | --type | --host | --under | --min-size | --max-size | \
            --newer | --older | --limit | --by | --max-entries | --max-depth | --connections | --to | --from | \
            --older-than | --hosts-file | --parallel-hosts | --run | --sort | --order | --after | --saved | \
            --listen | --token-file | --timeout) ((i++)) ;;
        -*) ;;
        *) command=${words[i]}; break ;;
        esac
    done

    if [[ $cur == -* ]]; then
        local own=--version
        [[ -n $command ]] && own=${options[$command]-}
        COMPREPLY=($(compgen -W "$common $own" -- "$cur"))
        return
    fi
    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return
    fi
    # The one argument of the commands that take a host, once.
    if ((i == cword - 1)); then
        case $command in
        scan | tree | changes | recode)
            local IFS=$'\n'
            COMPREPLY=($(compgen -W "$(_harvex_cli_hosts)" -- "$cur"))
            __ltrim_colon_completions "$cur"
            ;;
        esac
    fi
}
complete -F _harvex_cli harvex-cli
