#!/usr/bin/env bash
# The release's source tarball, unpacked alone in a folder whose path has a
# space, a quote and a non-ASCII letter, as a user's may: the README's build
# command builds and runs pipetap as the README shows, and its test command
# passes.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
file=$(released source -)
folder="$files/release/source/a user's sources, née"
rm -rf "$files/release/source"
mkdir -p "$folder"
tar -xzf "$files/release/dist/$file" -C "$folder"
cd "$folder/${file%.tar.gz}"
sh -c "$(quick_start_script)"
sh -c "$(doc_block README.md test)"
