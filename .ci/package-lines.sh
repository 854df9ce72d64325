#!/usr/bin/env bash
# Every package that a document tells users to install (apt-get install or
# apt install, in any tracked Markdown file) is one of packaging/packages,
# whose lines for targets stand for each target's package.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
# shellcheck source=packaging/need.sh
source packaging/need.sh
listed=$(packages_for | cut -d ' ' -f 1)
[ -n "$listed" ] || fail "packaging/packages lists nothing"
named=0
for document in $(git ls-files '*.md'); do
    # The words after each install command, up to the end of its code.
    while read -r package; do
        named=$((named + 1))
        grep -q -x -F -- "$package" <<<"$listed" ||
            fail "$document names $package, which packaging/packages does not list"
    done < <(grep -o -E 'apt(-get)? install( [^`#;&|]*)?' "$document" |
        sed -E 's/^apt(-get)? install//' | tr ' ' '\n' | grep -v -E '^$|^-|/')
done
[ "$named" -gt 0 ] || fail "no document names a package to install"
echo "$named packages named in the documents, each listed"
