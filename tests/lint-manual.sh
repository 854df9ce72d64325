#!/bin/sh
# Lints a manual page with each of groff and mandoc that is installed and
# fails on any warning; skipped (77) when neither is.
page=$1
linted=no
if command -v groff >/dev/null 2>&1; then
    if ! found=$(groff -man -ww -z "$page" 2>&1) || [ -n "$found" ]; then
        printf 'groff:\n%s\n' "$found"
        exit 1
    fi
    linted=yes
fi
if command -v mandoc >/dev/null 2>&1; then
    if ! found=$(mandoc -Tlint "$page" 2>&1) || [ -n "$found" ]; then
        printf 'mandoc:\n%s\n' "$found"
        exit 1
    fi
    linted=yes
fi
[ "$linted" = yes ] || {
    echo "neither groff nor mandoc is installed"
    exit 77
}
