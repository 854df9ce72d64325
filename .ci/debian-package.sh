#!/usr/bin/env bash
# The Debian package of the build, as doc/building.md makes it, passes
# lintian.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
rm -f build/pipetap_*.deb
(cd build && cpack -G DEB)
lintian --fail-on error build/pipetap_*_"$host".deb
