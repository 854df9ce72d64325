#!/usr/bin/env bash
# A snapshot of the released commit, although it is tagged: every file but
# MANIFEST and SHA256SUMS is named after the commit, and each package's
# version is the same, sorting before the release's.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
snapshot=$files/release/snapshot
commit=$(git rev-parse --short=12 HEAD)
rm -rf "$snapshot"
(cd "$files/release/elsewhere/other" && packaging/release --snapshot "$snapshot" >/dev/null)
snapshot_version=$(awk '$2 == "source" {print $1}' "$snapshot/MANIFEST" |
    sed -n 's/^pipetap-\(.*\)\.tar\.gz$/\1/p')
echo "snapshot $snapshot_version"
[[ $snapshot_version == "$version~git"*".$commit" ]] ||
    fail "the snapshot's version $snapshot_version does not name $version and $commit"
dpkg --compare-versions "$snapshot_version" lt "$version" ||
    fail "the snapshot's version $snapshot_version does not sort before $version"
[ "$(find "$snapshot" -type f | grep -c -v -F -- "$snapshot_version")" -eq 2 ] ||
    fail "files other than MANIFEST and SHA256SUMS do not carry the snapshot's version"
for deb in "$snapshot"/*.deb; do
    [ "$(dpkg-deb -f "$deb" Version)" = "$snapshot_version" ] ||
        fail "${deb##*/} is not version $snapshot_version"
done
