#!/usr/bin/env bash
# clean-install-CODENAME: the README's install lines on a bare Debian of
# release $1, as root types them with the release's files for this machine:
# the checksums, then the Debian package and the static tarball, each run
# once installed.
# shellcheck disable=SC2016 # lines for the chroot's shell
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
release=$1
folder=$files/clean-install-$release
target=$(target_field arch "$host" target)
rm -rf "$folder"
mkdir -p "$folder/work/downloads"
cp "$files/release/dist/SHA256SUMS" "$folder/work/downloads/"
for kind in debian-package static-tarball; do
    cp "$files/release/dist/$(released "$kind" "$target")" "$folder/work/downloads/"
done
{
    echo 'cd /root/work/downloads'
    as_root README.md "install: checksums"
    as_root README.md "install: debian" | sed "s/VERSION/$version/g"
    echo 'test "$(echo installed | pipetap 2>/dev/null)" = installed'
    as_root README.md "install: static" | sed "s/VERSION/$version/g"
    echo 'test "$(echo unpacked | ~/.local/bin/pipetap 2>/dev/null)" = unpacked'
} >"$folder/work/run.sh"
cat "$folder/work/run.sh"
in_clean_debian "$folder" "$release"
rm -rf "$folder"
