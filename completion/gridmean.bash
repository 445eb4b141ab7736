# Bash completion for gridmean. Installed as share/bash-completion/completions/gridmean, where
# bash-completion (Debian's bash-completion package) loads it on first use; it needs nothing from
# bash-completion itself, so `source completion/gridmean.bash` works in any bash as well.
#
# Options come before the files and `--` ends them, so once a file name or `--` has been given
# only file names are completed. A value is completed after its option as the next word or after
# `=` (`--stat=me` gives `--stat=mean` and `--stat=median`), and a list of statistics after its
# last comma (`--stat mean,p9` gives `mean,p90` ...).

_gridmean()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local options='--stat --skip-nodata --min-count --weights --range --times --output --nodata --digits
                   --png --colours --png-range --lenient --check-geometry --progress --help --version --'
    local short_options='-o -h'
    local valued='--stat|--min-count|--weights|--range|--times|--output|-o|--nodata|--digits|--png|--colours|--png-range'
    local stats='mean sum count min max range median stddev variance stddev-sample variance-sample skewness
                 kurtosis mode minority variety argmin argmax slope offset r2 tvalue pvalue sen sen-offset mk-s
                 mk-z mk-p'
    local ramps='viridis magma grey purple-orange'

    # Are options still allowed at the word being completed? Not after `--` or a file name.
    local i word in_options=1
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
            --) in_options=0; break ;;
            --*=*) ;;
            --stat|--min-count|--weights|--range|--times|--output|-o|--nodata|--digits|--png|--colours|--png-range)
                ((i++)) ;;
            =) ((i++)) ;;
            -?*) ;;
            *) in_options=0; break ;;
        esac
    done

    if ((in_options)); then
        # The option whose value is being completed, and what stands before the value in the word:
        # `--stat=me` as one word, or split at `=` as bash's own word breaks split it.
        local option= value=$cur before=
        if [[ $cur == --*=* ]]; then
            option=${cur%%=*} value=${cur#*=} before="$option="
        elif [[ $cur == = ]]; then
            option=$prev value=
        elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then
            option=${COMP_WORDS[COMP_CWORD - 2]}
        elif [[ $prev == @($valued) ]]; then
            option=$prev
        fi
        case $option in
            --stat)
                # Lists: complete after the last comma. Percentiles and thresholds are open-ended:
                # the common percentiles once a p is typed, and the threshold prefixes.
                local head= last=$value
                [[ $value == *,* ]] && head=${value%,*}, last=${value##*,}
                local words=$stats
                [[ $last == p* ]] && words+=' p1 p5 p10 p25 p50 p75 p90 p95 p99'
                words+=' gt: ge: lt: le: eq:'
                local name
                for name in $(compgen -W "$words" -- "$last"); do COMPREPLY+=("$before$head$name"); done
                return 0
                ;;
            --digits)
                for word in $(compgen -W "$(echo {1..17})" -- "$value"); do COMPREPLY+=("$before$word"); done
                return 0
                ;;
            --colours)
                for word in $(compgen -W "$ramps" -- "$value"); do COMPREPLY+=("$before$word"); done
                return 0
                ;;
            --output|-o|--png)
                compopt -o filenames 2>/dev/null
                mapfile -t COMPREPLY < <(compgen -f -- "$value")
                return 0
                ;;
            --min-count|--weights|--range|--times|--nodata|--png-range)
                # Numbers: nothing to offer.
                return 0
                ;;
        esac
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$options $short_options" -- "$cur"))
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
