#!/usr/bin/env bash
# The bash completion, driven as bash drives it, against the built tool:
# RKToolCompletionTest.sh COMPLETION_FILE TOOL
set -u
completion=$1
tool=$2
failures=0

# shellcheck source=/dev/null
source "$completion"

# Completes the words given, the last one being completed; prints the
# candidates sorted, on one line.
complete_words()
{
    COMP_WORDS=("$tool" "$@")
    COMP_CWORD=$#
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _rkdrv
    printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' ' | sed 's/ $//'
}

expect()
{
    local expected=$1 actual
    shift
    actual=$(complete_words "$@")
    if [ "$actual" != "$expected" ]; then
        echo "FAILED: rkdrv $* <TAB>: '$actual', expected '$expected'"
        failures=$((failures + 1))
    fi
}

# Registered for the command name.
[ "$(complete -p rkdrv)" = "complete -F _rkdrv rkdrv" ] || { echo "FAILED: complete -p rkdrv"; failures=$((failures + 1)); }

# Commands and options, from the tool's help.
expect "close demo eject info list lock reload unlock wait watch" ""
expect "eject" e
expect "--engine" --en
expect "--json" --trace list --j
expect "--timeout --trace --type" wait --t
expect "--to --trace" reload --t
# Values of options.
expect "auto cl im rd sc" --engine ""
expect "rd" reload --to r
expect "DVD+R DVD+RDL DVD+RW" wait --type dvd+
expect "" wait --timeout ""
# Drive letters from the engine named anywhere on the line; "any" for wait.
expect "D E" --engine cl info ""
expect "e" info --engine=cl e
expect "D E" --engine cl unlock ""
expect "D E any" wait --type CD --engine cl ""
expect "" --engine cl eject E ""
expect "" --engine cl demo ""
# An engine that loads nothing offers no letter and prints nothing.
out=$(complete_words --engine 0x12345678 info "" 2>&1)
[ -z "$out" ] || { echo "FAILED: letters of an engine that does not load: '$out'"; failures=$((failures + 1)); }

if [ "$failures" -ne 0 ]; then
    exit 1
fi
echo "completion: all cases passed"
