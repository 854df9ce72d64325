#!/usr/bin/env bash
# clean-build-CODENAME: a newcomer's path on a bare Debian of release $1,
# from the source tarball of HEAD, as root types the lines: exactly the
# packages that the README's Quick start and doc/building.md's Debian
# package name, the README's build command (ending as the README shows) and
# test command, then the Debian package as doc/building.md makes and
# installs it.
# shellcheck disable=SC2016 # lines for the chroot's shell
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
release=$1
number=$(awk -v release="$release" '$1 == release {print $2}' packaging/debian-releases)
grep -q "Debian $number\b" README.md || fail "README.md does not name Debian $number, which CI proves"
folder=$files/clean-build-$release
rm -rf "$folder"
mkdir -p "$folder/work/pipetap"
git archive HEAD | tar -xf - -C "$folder/work/pipetap"
{
    as_root README.md packages
    echo 'cd /root/work/pipetap'
    quick_start_script
    doc_block README.md test
    as_root README.md install
    echo 'test "$(echo installed | /usr/local/bin/pipetap 2>/dev/null)" = installed'
    as_root doc/building.md "debian package"
    echo 'test "$(echo packaged | /usr/bin/pipetap 2>/dev/null)" = packaged'
} >"$folder/work/run.sh"
cat "$folder/work/run.sh"
in_clean_debian "$folder" "$release"
rm -rf "$folder"
