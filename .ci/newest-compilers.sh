#!/usr/bin/env bash
# newest-compilers: on a bare Debian of release $1, the newest that
# packaging/debian-releases names, with the packages that the README names
# and clang, the whole suite built with that release's g++ and with its
# clang, warnings as errors, as the werror and clang presets make it.
# shellcheck disable=SC2016 # lines for the chroot's shell
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
release=$1
folder=$files/newest-compilers
rm -rf "$folder"
mkdir -p "$folder/work/pipetap"
git archive HEAD | tar -xf - -C "$folder/work/pipetap"
{
    as_root README.md packages
    echo 'apt-get install -y --no-install-recommends clang'
    echo 'g++ --version | head -n 1 && clang++ --version | head -n 1'
    echo 'cd /root/work/pipetap'
    echo 'cmake --workflow --preset werror'
    echo 'cmake --workflow --preset clang'
} >"$folder/work/run.sh"
cat "$folder/work/run.sh"
in_clean_debian "$folder" "$release"
rm -rf "$folder"
