# shellcheck shell=bash
# Sourced by the project's scripts, so that each says in the same way which
# Debian packages it lacks, as packaging/packages lists them: need_for
# PURPOSE... notes each package for those purposes that is missing, and
# report_missing WHO [NOTE...] ends the script with the list, if there is
# one, and each note on a line of its own. Nothing is installed here.
missing=()
packages_list=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/packages

# The purposes a package can be for, as packaging/packages explains them.
known_purposes="build tests release sign bench ci linux linux-tests windows windows-tests musl multiarch"

# Prints "PACKAGE HAS" for each package of packaging/packages for one of the
# purposes given (every package when none is), its target fields filled in
# for each target it is for; fails, saying so, on a purpose that is not
# known, there or here.
# The targets are read with cmake; without it, lines for targets are left
# out (cmake itself is for build).
packages_for() {
    local host table=""
    host=$(dpkg --print-architecture 2>/dev/null || echo none)
    if command -v cmake >/dev/null 2>&1; then
        table=$(cmake -P "${packages_list%/*}/../cmake/targets.cmake" kind arch triplet musl qemu libc libs)
    fi
    awk -v wanted="$*" -v host="$host" -v table="$table" -v known="$known_purposes" '
        function applies(purpose, row) {
            split(row, field, " ")
            sub(/-tests$/, "", purpose)
            if (purpose == "linux") return field[1] == "linux" && field[2] != host
            if (purpose == "windows") return field[1] == "windows"
            if (purpose == "musl") return field[6] == "musl"
            if (purpose == "multiarch") return field[7] == "multiarch" && field[2] != host
            return 0
        }
        function emit(package, has, row, compiler) {
            if (row != "") {
                split(row, field, " ")
                compiler = field[3]
                gsub(/_/, "-", compiler)
                gsub(/TRIPLET/, compiler, package)
                gsub(/ARCH/, field[2], package)
                sub(":" host "$", "", package)
                gsub(/TRIPLET/, field[3], has)
                gsub(/MUSL/, field[4], has)
                gsub(/QEMU/, field[5], has)
            }
            if (!(package in done)) print package, has
            done[package] = 1
        }
        function unknown(purpose, where) {
            printf "%s: no such purpose as %s; the purposes are: %s\n", where, purpose, known >"/dev/stderr"
            exit 1
        }
        BEGIN { split(known, list, " "); for (i in list) valid[list[i]] = 1
                split(wanted, list, " ")
                for (i in list) { if (!(list[i] in valid)) unknown(list[i], "packages_for"); asked[list[i]] = 1 }
                rows = split(table, row, "\n") }
        /^#/ || NF == 0 { next }
        !header { header = 1; next }
        {
            count = split($3, purpose, ",")
            for (p = 1; p <= count; p++) {
                if (!(purpose[p] in valid)) unknown(purpose[p], "packaging/packages, " $1)
                if (wanted != "" && !(purpose[p] in asked)) continue
                if ($1 $2 !~ /TRIPLET|ARCH|MUSL|QEMU/) { emit($1, $2, ""); continue }
                for (r = 1; r <= rows; r++) if (applies(purpose[p], row[r])) emit($1, $2, row[r])
            }
        }' "$packages_list"
}

need_for() {
    local package has table
    table=$(packages_for "$@") || exit 1
    while read -r package has; do
        [ -n "$package" ] || continue
        case $has in
        -) dpkg -s "$package" >/dev/null 2>&1 ;;
        /*) [ -e "$has" ] ;;
        *) command -v "$has" >/dev/null 2>&1 ;;
        esac || [[ " ${missing[*]} " == *" $package "* ]] || missing+=("$package")
    done <<<"$table"
}

report_missing() {
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "$1 needs: ${missing[*]}" >&2
    echo "on Debian: apt-get install ${missing[*]}" >&2
    shift
    [ $# -eq 0 ] || printf '%s\n' "$@" >&2
    exit 1
}
