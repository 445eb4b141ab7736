#!/usr/bin/env bash
# The bash completion offers the right words: runs the completion function on command lines and
# compares the offered words (sorted) with the expected ones.
#   bash GridmeanCompletionTest.sh path/to/gridmean.bash
set -uo pipefail

script=${1:?usage: GridmeanCompletionTest.sh COMPLETION_SCRIPT}
# shellcheck source=/dev/null
source "$script" || { echo "cannot load $script"; exit 1; }
complete -p gridmean >/dev/null 2>&1 || { echo "the script registers no completion for gridmean"; exit 1; }

# File names are completed from a directory of our own.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
mkdir maps
touch a.asc b.asc.gz notes.txt -- '-odd.asc' 'with space.asc'

failures=0
# check "COMMAND LINE" EXPECTED...: the last word of the line (possibly empty) is being completed.
check()
{
    local line=$1
    shift
    local -a words
    read -r -a words <<< "$line"
    [[ $line == *' ' ]] && words+=('')
    COMP_WORDS=("${words[@]}")
    COMP_CWORD=$((${#words[@]} - 1))
    COMP_LINE=$line
    COMP_POINT=${#line}
    COMPREPLY=()
    _gridmean gridmean "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    local got expected
    got=$(printf '%s\n' "${COMPREPLY[@]}" | LC_ALL=C sort)
    expected=$(printf '%s\n' "$@" | LC_ALL=C sort)
    if [[ $got != "$expected" ]]; then
        echo "FAIL: '$line'"
        echo "  expected: $(echo $expected)"
        echo "  got:      $(echo $got)"
        failures=$((failures + 1))
    fi
}

all_options=(--stat --skip-nodata --min-count --weights --range --times --output --nodata --digits --png
             --colours --png-range --lenient --check-geometry --progress --help --version -- -o -h)
files=(-odd.asc a.asc b.asc.gz maps notes.txt 'with space.asc')
stats=(mean sum count min max range median stddev variance stddev-sample variance-sample skewness kurtosis
       mode minority variety argmin argmax slope offset r2 tvalue pvalue sen sen-offset mk-s mk-z mk-p
       gt: ge: lt: le: eq:)

# Option names, alone and after other options and their values.
check 'gridmean -' "${all_options[@]}"
check 'gridmean --' "${all_options[@]:0:${#all_options[@]}-2}"
check 'gridmean --s' --stat --skip-nodata
check 'gridmean --ch' --check-geometry
check 'gridmean --stat median --skip-nodata --m' --min-count
check 'gridmean --weights 1,2,1 --nodata -1 --digits 9 --le' --lenient
check 'gridmean --progress --ver' --version
check 'gridmean --x'

# Values of options.
check 'gridmean --stat ' "${stats[@]}"
check 'gridmean --stat m' mean min max median minority mode mk-s mk-z mk-p
check 'gridmean --stat s' sum stddev stddev-sample skewness slope sen sen-offset
check 'gridmean --stat p9' p90 p95 p99
check 'gridmean --skip-nodata --stat va' variance variance-sample variety
# After `=`, as one word or split at it as bash splits words, and after the last comma of a list.
check 'gridmean --stat=me' --stat=mean --stat=median
check 'gridmean --stat = me' mean median
check 'gridmean --stat mean,p9' mean,p90 mean,p95 mean,p99
check 'gridmean --stat=mean,va' --stat=mean,variance --stat=mean,variance-sample --stat=mean,variety
check 'gridmean --stat mean --stat g' gt: ge:
check 'gridmean --colours ' viridis magma grey purple-orange
check 'gridmean --colours=g' --colours=grey
check 'gridmean --range '
check 'gridmean --times '
check 'gridmean -o ' "${files[@]}"
check 'gridmean --png w' 'with space.asc'
check 'gridmean -o out.asc --stat=mean --pro' --progress
check 'gridmean --digits ' {1..17}
check 'gridmean --digits 1' 1 10 11 12 13 14 15 16 17
check 'gridmean --min-count '
check 'gridmean --weights '
check 'gridmean --nodata '
check 'gridmean --nodata -'

# File names: any file or directory, where options are over.
check 'gridmean ' "${files[@]}"
check 'gridmean a' a.asc
check 'gridmean w' 'with space.asc'
check 'gridmean --lenient ' "${files[@]}"
check 'gridmean --stat max b' b.asc.gz
check 'gridmean a.asc ' "${files[@]}"
# After a file name or `--`, a leading dash starts a file name, not an option.
check 'gridmean a.asc -' -odd.asc
check 'gridmean a.asc --s'
check 'gridmean -- -' -odd.asc
check 'gridmean --skip-nodata -- --s'
# A value that looks like a file name does not end the options.
check 'gridmean --weights a.asc --pro' --progress
check 'gridmean a.asc --stat ' "${files[@]}"

if ((failures > 0)); then
    echo "$failures completion check(s) failed"
    exit 1
fi
echo "all completion checks passed"
