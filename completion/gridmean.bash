# Bash completion for gridmean. Installed as share/bash-completion/completions/gridmean, where
# bash-completion loads it on first use; it needs nothing from bash-completion itself, so
# `source completion/gridmean.bash` works in any bash as well.
#
# Options come before the files and `--` ends them, so once a file name or `--` has been given
# only file names are completed.

_gridmean()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local options='--stat --skip-nodata --min-count --weights --nodata --digits --progress
                   --lenient --check-geometry --help --version --'

    # Are options still allowed at the word being completed? Not after `--` or a file name.
    local i word in_options=1
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --) in_options=0; break ;;
            --stat|--min-count|--weights|--nodata|--digits) ((i++)) ;;
            -?*) ;;
            *) in_options=0; break ;;
        esac
    done

    if ((in_options)); then
        # The value of an option that takes one.
        case $prev in
            --stat)
                local stats='mean sum count min max range median stddev variance'
                # Percentiles are open-ended (p90, p2.5): offer the common ones once a p is typed.
                [[ $cur == p* ]] && stats+=' p1 p5 p10 p25 p50 p75 p90 p95 p99'
                COMPREPLY=($(compgen -W "$stats" -- "$cur"))
                return 0
                ;;
            --digits)
                COMPREPLY=($(compgen -W "$(echo {1..17})" -- "$cur"))
                return 0
                ;;
            --min-count|--weights|--nodata)
                # Numbers: nothing to offer.
                return 0
                ;;
        esac
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$options" -- "$cur"))
            return 0
        fi
    fi

    # Input grids (*.asc, *.asc.gz, or any name: compressed input is known by its content) and
    # the output name: every file and directory.
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return 0
}
complete -F _gridmean gridmean
