#!/usr/bin/env bash
# This machine's static binary from the release copies a sample exactly
# inside an otherwise empty chroot, where nothing else could help it.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
tarball=$(released static-tarball "$(target_field arch "$host" target)")
root=$files/release/root
rm -rf "$root"
mkdir -p "$root"
tar -xzf "$files/release/dist/$tarball" -C "$root" --strip-components=1 "${tarball%.tar.gz}/pipetap"
cp "$(sample)" "$root/"
(ulimit -f 2048 && chroot "$root" /pipetap <"$root/sample" >"$files/static.out" 2>"$files/static.err")
cmp "$root/sample" "$files/static.out" || fail "$tarball, in a chroot: standard output"
cmp "$root/sample" "$files/static.err" || fail "$tarball, in a chroot: standard error"
echo "copies a sample exactly, alone in a chroot"
