#!/usr/bin/env bash
# memcheck finds no error and no leak in pipetap, on empty input and on a
# sample.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
for input in /dev/null "$(sample)"; do
    valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect \
        --log-file="$files/memcheck.log" build/pipetap <"$input" >/dev/null 2>&1 ||
        { cat "$files/memcheck.log"; fail "valgrind on $input"; }
done
