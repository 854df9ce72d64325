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

# Notes the package of the C++ compiler for Debian architecture $1 and
# triplet $2 when TRIPLET-g++ is missing: g++ for this machine's own, and
# otherwise the cross compiler, named with - for _ (g++-x86-64-linux-gnu).
need_compiler() {
    local package=g++-${2//_/-}
    [ "$1" != "$(dpkg --print-architecture)" ] || package=g++
    need_command "$2-g++" "$package"
}

# Where Debian keeps musl for compiler $1 (g++, or a cross compiler
# TRIPLET-g++): its multiarch folder with "musl" for "gnu"
# (arm-linux-musleabihf), less any "abi64" (mips64el-linux-musl).
musl_libdir() {
    echo "/usr/lib/$("$1" -print-multiarch | sed -E 's/-gnu(abi64)?/-musl/')"
}

# Notes musl-dev for Debian architecture $1 (musl-dev:$1 when that is not
# this machine's) when musl for cross compiler $2-g++ is missing.
need_musl() {
    local package=musl-dev
    command -v "$2-g++" >/dev/null 2>&1 || return 0
    [ "$1" = "$(dpkg --print-architecture)" ] || package=musl-dev:$1
    need_file "$(musl_libdir "$2-g++")/rcrt1.o" "$package"
}
