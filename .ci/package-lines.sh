#!/usr/bin/env bash
# Every package that a document tells users to install (apt-get install or
# apt install, in any tracked Markdown file) is one of packaging/packages,
# whose lines for targets stand for each target's package; and that list
# names no purpose that nothing asks for. A command is read whole: in a
# code block up to the end of its line, continued past a backslash, and in
# the text up to the end of its inline code, wrapped or not.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
# shellcheck source=packaging/need.sh
source packaging/need.sh
listed=$(packages_for | cut -d ' ' -f 1)
[ -n "$listed" ] || fail "packaging/packages lists nothing"

# The document as one line: code blocks' lines end in ";", a backslash at
# the end of one joins it to the next, and the text's lines are joined.
one_line() {
    awk '/^ *```/ { fenced = !fenced; printf " ; "; next }
         fenced && sub(/\\$/, "") { printf "%s ", $0; next }
         fenced { printf "%s ; ", $0; next }
         { printf "%s ", $0 }' "$1"
}

named=0
for document in $(git ls-files '*.md'); do
    # The words after each install command, up to the end of its code.
    while read -r package; do
        named=$((named + 1))
        grep -q -x -F -- "$package" <<<"$listed" ||
            fail "$document names $package, which packaging/packages does not list"
    done < <(one_line "$document" | grep -o -E 'apt(-get)? install( [^`#;&|]*)?' |
        sed -E 's/^apt(-get)? install//' | tr ' ' '\n' | grep -v -E '^$|^-|/')
done
[ "$named" -gt 0 ] || fail "no document names a package to install"
echo "$named packages named in the documents, each listed"
