# shellcheck shell=bash
# Sourced by the project's scripts, so that each says in the same way which
# Debian packages it lacks: need_command and need_file note a package when
# its command or file is missing, and report_missing WHO [NOTE...] ends the
# script with the list, if there is one, and each note on a line of its own.
# Nothing is installed here.
missing=()

# Notes package $1, once.
note_missing() {
    [[ " ${missing[*]} " == *" $1 "* ]] || missing+=("$1")
}

need_command() {
    command -v "$1" >/dev/null 2>&1 || note_missing "$2"
}

need_file() {
    [ -e "$1" ] || note_missing "$2"
}

report_missing() {
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "$1 needs: ${missing[*]}" >&2
    echo "on Debian: apt-get install ${missing[*]}" >&2
    shift
    [ $# -eq 0 ] || printf '%s\n' "$@" >&2
    exit 1
}

# Notes the package of the C++ compiler TRIPLET-g++ of a line of
# packaging/targets, given its arch, triplet and compiler fields, when that
# command is missing: g++ where the target is this machine's own
# architecture, and otherwise the compiler field's package.
need_compiler() {
    local package=$3
    [ "$1" != "$(dpkg --print-architecture)" ] || package=g++
    need_command "$2-g++" "$package"
}

# Notes musl-dev for Debian architecture $1 (musl-dev:$1 when that is not
# this machine's) when its musl, in the multiarch folder $2 (the targets'
# musl field), is missing.
need_musl() {
    local package=musl-dev
    [ "$1" = "$(dpkg --print-architecture)" ] || package=musl-dev:$1
    need_file "/usr/lib/$2/rcrt1.o" "$package"
}
