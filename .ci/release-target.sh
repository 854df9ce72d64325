#!/usr/bin/env bash
# release-TARGET: what the release ships for target $1, tried as a user gets
# it. For Linux: the Debian package passes lintian; the static binary needs
# no loader or library and passes this machine's suite, its calls recorded
# by the tracer where that can follow it, and this machine's own skips
# nothing; the package's binary imports only the calls doc/building.md
# lists and passes the suite of its own machine's build (build-TARGET),
# which also loads the recording library into it; under qemu where it is
# another machine's. For Windows: pipetap.exe needs only Windows' DLLs,
# imports only the calls doc/building.md lists and passes the Windows tests
# under Wine.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
target=$1
dist=$files/release/dist
unpacked=$files/release/$target
rm -rf "$unpacked"
mkdir -p "$unpacked"

# Runs the suite built in folder $1 on the pipetap binary $2, built with
# C library $3, leaving out the Windows tests; says how many tests ran and
# how many were skipped, which are those that need its calls recorded where
# neither the recording library nor the tracer can. $4 says how many may be
# skipped: none, or any.
suite_on() {
    local log=$unpacked/suite.log skipped
    PIPETAP_BINARY=$2 PIPETAP_LIBC=$3 ctest --test-dir "$1" -j 2 --output-on-failure \
        --no-tests=error -E '^Windows' >"$log" 2>&1 || { cat "$log"; fail "the suite in $1 on $2"; }
    skipped=$(grep -c '(Skipped)$' "$log" || true)
    echo "${2#"$unpacked"/}, through the suite in $1: $(grep -E '^[0-9]+% tests passed' "$log"), $skipped of them skipped"
    [ "$4" = any ] || [ "$skipped" -eq 0 ] || fail "$2 skipped $skipped tests"
}

case $(target_field target "$target" kind) in
linux)
    deb=$(released debian-package "$target")
    lintian --fail-on error "$dist/$deb"
    tarball=$(released static-tarball "$target")
    tar -xzf "$dist/$tarball" -C "$unpacked"
    fully_static "$unpacked/${tarball%.tar.gz}/pipetap"
    # This machine's own binaries run natively, where the tracer follows
    # the static one: nothing may be skipped.
    suite=build skips=none
    [ "$(target_field target "$target" arch)" = "$host" ] || suite=build-$target skips=any
    suite_on build "$unpacked/${tarball%.tar.gz}/pipetap" "$(target_field target "$target" libc)" \
        "$skips"
    dpkg-deb -x "$dist/$deb" "$unpacked/package"
    imports_only_listed "$unpacked/package/usr/bin/pipetap" glibc
    suite_on "$suite" "$unpacked/package/usr/bin/pipetap" glibc "$skips"
    ;;
windows)
    zip=$(released windows-zip "$target")
    (cd "$unpacked" && unzip -q "$dist/$zip")
    exe=$unpacked/${zip%.zip}/pipetap.exe
    windows_dlls_only "$exe"
    imports_only_listed "$exe" windows
    PIPETAP_WINDOWS_EXE=$exe build/tests/pipetap_tests --gtest_filter='Windows*' --gtest_brief=1
    ;;
*) fail "packaging/targets has no target $target" ;;
esac
