#!/usr/bin/env bash
# build-TARGET: pipetap built for unshipped target $1 by doc/building.md's
# commands, written there for macos-arm64, as a user of that system would
# build it: the configure step says the test suite needs Linux, and the
# build has no warning. The binary must be of its system's kind, link only
# the C library, and import only the calls that doc/building.md lists, and
# the system's own support symbols (imports_only_listed); on Windows, only
# Windows' own DLLs.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
target=$1
triplet=$(target_field target "$target" triplet)
log=$files/build-$target.log
sh -c "$(doc_block doc/building.md "zig build" | sed "s/macos-arm64/$target/g")" >"$log" 2>&1 ||
    { cat "$log"; fail "$target does not build"; }
grep -q "the pipetap test suite needs Linux" "$log" ||
    { cat "$log"; fail "$target: the configure step does not say that the suite needs Linux"; }

binary=build-$target/pipetap
case $triplet in
*-windows-*) binary=$binary.exe ;;
esac
kind=$(file -b "$binary")
echo "$kind"
case $triplet in
x86_64-macos) expected='^Mach-O 64-bit x86_64 executable' ;;
aarch64-macos) expected='^Mach-O 64-bit arm64 executable' ;;
x86_64-freebsd) expected='^ELF 64-bit LSB .*x86-64.*FreeBSD' ;;
aarch64-freebsd) expected='^ELF 64-bit LSB .*ARM aarch64.*FreeBSD' ;;
x86_64-netbsd) expected='^ELF 64-bit LSB .*x86-64.*NetBSD' ;;
aarch64-windows-gnu) expected='^PE32\+ executable \(console\) Aarch64' ;;
*) fail "no kind of binary known here for $triplet" ;;
esac
grep -q -E "$expected" <<<"$kind" || fail "$binary is no $triplet program"

# The libraries the binary links, and what it takes from them.
case $triplet in
*-macos)
    libraries=$(llvm-objdump --macho --dylibs-used "$binary" | awk 'NR > 1 {print $1}')
    only_c='/usr/lib/libSystem\.B\.dylib'
    system=macos
    ;;
*-freebsd | *-netbsd)
    libraries=$(llvm-readelf -d "$binary" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')
    only_c='libc\.so\.[0-9]+'
    # zig links NetBSD's threads library to every program, which imports
    # nothing from it here.
    [[ $triplet != *-netbsd ]] || only_c="$only_c|libpthread\.so\.[0-9]+"
    system=${triplet#*-}
    ;;
*-windows-*)
    # zig's programs take the C library from the Universal C Runtime.
    windows_dlls_only "$binary" 'kernel32\.dll|api-ms-win-crt-[a-z]+-l1-1-0\.dll'
    exit 0
    ;;
esac
echo "libraries: $(echo "$libraries" | tr '\n' ' ')"
for library in $libraries; do
    grep -q -x -E "$only_c" <<<"$library" || fail "$binary links $library, not only the C library"
done
echo "links only the C library"
imports_only_listed "$binary" "$system"
