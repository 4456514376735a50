# bash completion of formule: its commands and each command's options.
# Made by "formule help --completion" from the tool's option table; do not edit.
_formule() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands="case check check-all check-sql clear complete declarations demo describe diff eval export help history impact import init-db lint restore save serve show sql test to-display to-sql tree where-used"
    local common="--db --lang --company --on-error --verbose -h --help"
    case $prev in
        --lang) COMPREPLY=($(compgen -W "it en" -- "$cur")); return ;;
        --db|--lang|--company|--on-error|--context|--id|--name|--set|--category|--variant|--author|--format|--jobs|--comment|--expect-version|--from|--to|--text|--prune-before|--inputs|--numbers|--generate|--top|--version|--listen|--user|--password|--password-file|--tls-cert|--tls-key|--variants) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    esac
    local command= i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --db|--lang|--company|--on-error|--context|--id|--name|--set|--category|--variant|--author|--format|--jobs|--comment|--expect-version|--from|--to|--text|--prune-before|--inputs|--numbers|--generate|--top|--version|--listen|--user|--password|--password-file|--tls-cert|--tls-key|--variants) ((i++)) ;;
            -*) ;;
            *) command=${COMP_WORDS[i]}; break ;;
        esac
    done
    local words=
    case $command in
        '') COMPREPLY=($(compgen -W "$commands $common --version" -- "$cur")); return ;;
        case) words="--context --id --name --set --category --variant --author" ;;
        check) words="" ;;
        check-all) words="--context --format --jobs --as-editor --no-cases" ;;
        check-sql) words="" ;;
        clear) words="--context --id --comment --expect-version" ;;
        complete) words="" ;;
        declarations) words="" ;;
        demo) words="" ;;
        describe) words="" ;;
        diff) words="--context --id --from --to --text" ;;
        eval) words="--set --category --variant --all --trace --explain --engine" ;;
        export) words="--context" ;;
        help) words="--man --completion" ;;
        history) words="--context --id --format --prune-before" ;;
        impact) words="--context --id --inputs --numbers --generate --top --format --engine" ;;
        import) words="--dry-run --yes --comment" ;;
        init-db) words="--demo" ;;
        lint) words="" ;;
        restore) words="--context --id --version --yes --comment --expect-version" ;;
        save) words="--context --id --yes --comment --expect-version" ;;
        serve) words="--listen --user --password --password-file --allow-remote --read-only --tls-cert --tls-key --tls-self-signed --require-encryption" ;;
        show) words="--context --id" ;;
        sql) words="" ;;
        test) words="--context --id --format" ;;
        to-display) words="" ;;
        to-sql) words="--check-mode" ;;
        tree) words="--context --variants" ;;
        where-used) words="--context" ;;
    esac
    COMPREPLY=($(compgen -W "$words $common" -- "$cur"))
}
complete -o default -F _formule formule
