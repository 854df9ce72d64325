#!/usr/bin/env bash
# doc/building.md's Windows build makes a pipetap.exe that needs only
# Windows' own DLLs, and imports only the calls that doc/building.md lists.
# shellcheck source=.ci/lib.sh
source "$(dirname "$0")/lib.sh"
sh -c "$(doc_block doc/building.md "windows build")"
windows_dlls_only build-windows/pipetap.exe
imports_only_listed build-windows/pipetap.exe windows
