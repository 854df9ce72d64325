#!/usr/bin/env bash
# The release of this version, made twice from two clones in different
# folders, each tagged for it there (no tag is left in this clone), once
# signed with a throwaway key and once not: every file but the signature must
# be byte-identical, and the signature must check out with gpgv. Untagged,
# packaging/release must refuse. The throwaway keyring is in a short folder
# of its own: gpg's agent listens on a socket there, and a socket's path may
# not be longer than about 100 bytes, which a deep clone's folder can be.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
release=$files/release
rm -rf "$release"
mkdir -p "$release"
gnupg=$(mktemp -d /tmp/pipetap-gnupg.XXXXXX)
trap 'GNUPGHOME=$gnupg gpgconf --kill gpg-agent; rm -rf "$gnupg"' EXIT
git clone -q --no-local . "$release/one/pipetap"
git clone -q --no-local . "$release/elsewhere/other"
# Whatever this clone has tagged, the version's tag is made here anew.
git -C "$release/one/pipetap" tag -d "v$version" 2>/dev/null || true
git -C "$release/elsewhere/other" tag -d "v$version" 2>/dev/null || true
if (cd "$release/one/pipetap" && packaging/release "$release/refused"); then
    fail "packaging/release made a release of $version from a commit not tagged v$version"
fi
[ ! -e "$release/refused" ] || fail "the refused release left $release/refused"
git -C "$release/one/pipetap" tag "v$version"
git -C "$release/elsewhere/other" tag "v$version"
GNUPGHOME=$gnupg gpg --batch --passphrase '' --quick-gen-key \
    'pipetap CI <ci@pipetap.invalid>' ed25519 sign never
GNUPGHOME=$gnupg gpg --batch --export ci@pipetap.invalid >"$release/key.gpg"
(cd "$release/one/pipetap" &&
    GNUPGHOME=$gnupg PIPETAP_SIGNING_KEY=ci@pipetap.invalid packaging/release "$release/dist")
sleep 2
(cd "$release/elsewhere/other" && packaging/release "$release/dist-again" >/dev/null)
[ -e "$release/dist/SHA256SUMS.asc" ] || fail "the signed release has no SHA256SUMS.asc"
[ ! -e "$release/dist-again/SHA256SUMS.asc" ] || fail "the unsigned release is signed"
gpgv --keyring "$release/key.gpg" "$release/dist/SHA256SUMS.asc" "$release/dist/SHA256SUMS" ||
    fail "SHA256SUMS.asc does not check out"
# The files themselves first, so that a difference is named where it is.
for file in "$release"/dist-again/pipetap* "$release"/dist-again/{MANIFEST,SHA256SUMS}; do
    if ! cmp -s "$release/dist/${file##*/}" "$file"; then
        diffoscope "$release/dist/${file##*/}" "$file" || true
        fail "${file##*/} differs between two runs"
    fi
done
(cd "$release/dist" && sha256sum --check --strict SHA256SUMS)
