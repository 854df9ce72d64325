#!/usr/bin/env bash
# The release holds what packaging/targets calls for: a Debian package and
# a static tarball for each Linux target, a zip for each Windows target, and
# the source; its MANIFEST says which file is which, and the folder, the
# MANIFEST and the README's download table (between its two marking
# comments) must all list the same files.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
dist=$files/release/dist
expected=$( (
    echo "source -"
    cmake -P cmake/targets.cmake kind target |
        awk '$1 == "linux" {print "debian-package", $2; print "static-tarball", $2}
             $1 == "windows" {print "windows-zip", $2}'
) | sort)
manifest=$(awk 'NR > 1 {print $2, $3}' "$dist/MANIFEST" | sort)
diff <(echo "$expected") <(echo "$manifest") ||
    fail "the MANIFEST lists other kinds of files than packaging/targets calls for"
made=$(find "$dist" -mindepth 1 -printf '%f\n' | sort)
diff <( (awk 'NR > 1 {print $1}' "$dist/MANIFEST"
    printf '%s\n' MANIFEST SHA256SUMS SHA256SUMS.asc) | sort) <(echo "$made") ||
    fail "the release holds other files than its MANIFEST lists"
# shellcheck disable=SC2016 # the backticks are the README's
listed=$(sed -n '/^<!-- downloads -->$/,/^<!-- end of downloads -->$/s/^| `\([^`]*\)` |.*/\1/p' \
    README.md | sed "s/VERSION/$version/" | sort)
[ -n "$listed" ] ||
    fail "README.md has no download table between <!-- downloads --> and <!-- end of downloads -->"
diff <(echo "$made") <(echo "$listed") || fail "the README lists other files than a release holds"
