#!/usr/bin/env bash
# Every shell script of the tree passes shellcheck.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
mapfile -t scripts < <(git ls-files | while read -r file; do
    case $file in
    *.sh) echo "$file" ;;
    *) head -n 1 "$file" | grep -q -E '^#!.*\b(ba)?sh\b' && echo "$file" ;;
    esac
done)
printf '%s\n' "${scripts[@]}"
[ ${#scripts[@]} -gt 0 ] || fail "no shell scripts found"
shellcheck -x "${scripts[@]}"
