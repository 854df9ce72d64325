#!/usr/bin/env bash
# A newcomer's path on a bare Debian 12, from the source tarball of HEAD:
# exactly the packages that the README's Quick start and doc/building.md's
# Debian package name, the README's build command (ending as the README
# shows) and test command, then the Debian package as doc/building.md makes
# and installs it.
# shellcheck disable=SC2016 # lines for the chroot's shell
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
folder=$files/clean-build
rm -rf "$folder"
mkdir -p "$folder/work/pipetap"
git archive HEAD | tar -xf - -C "$folder/work/pipetap"
{
    doc_block README.md packages
    echo 'cd /root/work/pipetap'
    quick_start_script
    doc_block README.md test
    doc_block README.md install
    echo 'test "$(echo installed | /usr/local/bin/pipetap 2>/dev/null)" = installed'
    doc_block doc/building.md "debian package"
    echo 'test "$(echo packaged | /usr/bin/pipetap 2>/dev/null)" = packaged'
} >"$folder/work/run.sh"
cat "$folder/work/run.sh"
in_clean_debian "$folder"
rm -rf "$folder"
