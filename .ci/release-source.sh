#!/usr/bin/env bash
# The release's source tarball, unpacked alone, builds and passes the
# README's test command.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
file=$(released source -)
rm -rf "$files/release/source"
mkdir -p "$files/release/source"
tar -xzf "$files/release/dist/$file" -C "$files/release/source"
test_command=$(doc_block README.md test)
cd "$files/release/source/${file%.tar.gz}"
sh -c "$test_command"
