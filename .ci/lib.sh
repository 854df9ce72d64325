# shellcheck shell=bash
# Sourced by each CI check's script, .ci/NAME.sh, which .ci/CMakeLists.txt
# runs as a CTest test: strict mode, the source folder as the working
# folder, and what the checks share.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
export LC_ALL=C
# Files that checks make for other checks: the release, the sample.
files=${PIPETAP_CI_FILES:-$PWD/build-ci/files}
mkdir -p "$files"
# shellcheck disable=SC2034 # for the checks that source this
{
    host=$(dpkg --print-architecture)
    version=$(cmake -P cmake/version.cmake)
}

fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# Prints the fenced block that follows the line <!-- $2 --> in document $1:
# the commands and outputs that CI takes from the documents, as they stand.
doc_block() {
    local block
    block=$(awk -v marker="<!-- $2 -->" '
        !found && $0 ~ /^ *<!-- / { sub(/^ +/, ""); if ($0 == marker) found = 1; next }
        found && /^ *```/ { if (inside) exit; inside = 1; match($0, /^ */); indent = RLENGTH; next }
        inside { print substr($0, indent + 1) }' "$1")
    [ -n "$block" ] || fail "$1 has no block after <!-- $2 -->"
    printf '%s\n' "$block"
}

# Prints a script that runs the README's build command, shows its output and
# fails unless it ends with the lines that the README shows after it. The
# command runs untraced: a shell's trace of a pipeline's commands (sh -x, as
# in the chroot) would mingle with their output.
quick_start_script() {
    local command expected
    command=$(doc_block README.md "build and run")
    expected=$(doc_block README.md "build and run: last lines")
    cat <<SCRIPT
expected=\$(cat <<'END'
$expected
END
)
output=\$({
set +x
$command
} 2>&1) || { printf '%s\n' "\$output"; exit 1; }
printf '%s\n' "\$output"
[ "\$(printf '%s\n' "\$output" | tail -n $(wc -l <<<"$expected"))" = "\$expected" ] || {
    echo "the README's build command does not end as the README shows" >&2
    exit 1
}
SCRIPT
}

# Field $3 of the target whose field $1 is $2, from packaging/targets.
target_field() {
    cmake -P cmake/targets.cmake "$1" "$3" | awk -v value="$2" '$1 == value {print $2}'
}

# A file of 300,000 random bytes for checks that copy something, made once,
# and whole before any check can see it.
sample() {
    if [ ! -e "$files/sample" ]; then
        head -c 300000 /dev/urandom >"$files/sample.$$"
        mv "$files/sample.$$" "$files/sample"
    fi
    echo "$files/sample"
}

# Fails unless the Linux program $1 needs neither a loader nor a library.
fully_static() {
    local headers
    headers=$(readelf -lWd "$1")
    if grep -E 'INTERP|NEEDED' <<<"$headers"; then
        fail "$1 needs the loader or libraries above"
    fi
}

# Fails unless the program $1, for system $2 (glibc, macos, freebsd, netbsd
# or windows), imports only the calls that doc/building.md lists for it and
# its system's own support symbols named here: errno's home, start-up and
# exit, the stack protector, fortified calls.
imports_only_listed() {
    local binary=$1 system=$2 calls support imported allowed symbol
    calls=$(doc_block doc/building.md calls)
    case $system in
    macos) # each C name less the leading _ that Mach-O gives it
        imported=$(llvm-nm -u "$binary" | sed 's/^_//') ;;
    windows)
        calls=$(doc_block doc/building.md "windows calls")
        imported=$(llvm-objdump -p "$binary" |
            awk '/DLL Name:/ {listed = 1; next} listed && NF == 2 && $1 ~ /^[0-9]+$/ {print $2}') ;;
    *) imported=$(llvm-nm -D -u "$binary" | awk '{print $NF}' | sed 's/@.*//') ;;
    esac
    case $system in
    glibc)
        # Built with 64-bit file offsets: fstat, lseek and fcntl by their
        # 64-bit names alone, on 32-bit machines as on 64-bit ones.
        calls=$(sed -E 's/\b(fcntl|fstat|lseek)\b/\164/g' <<<"$calls")
        # fortified snprintf, libgcc's abort on ARM, the start files' weak symbols
        support='__errno_location __libc_start_main __snprintf_chk __stack_chk_fail
            __stack_chk_guard abort __cxa_finalize __gmon_start__ _ITM_deregisterTMCloneTable
            _ITM_registerTMCloneTable' ;;
    macos) # the dynamic loader's binder, fstat's name for 64-bit inodes on x86-64
        # shellcheck disable=SC2016 # a symbol's name
        support='__error dyld_stub_binder fstat$INODE64 __stack_chk_fail __stack_chk_guard' ;;
    freebsd)
        support='__error __libc_start1 __stack_chk_fail __stack_chk_guard' ;;
    netbsd) # fstat's current name, the unwinder's registration
        support='__errno __fstat50 _libc_init __syscall _exit abort atexit __register_frame_info
            __deregister_frame_info __stack_chk_fail __stack_chk_guard' ;;
    windows)
        # MinGW-w64's start-up and exit, its own printf (locales, wide
        # characters, standard error), the stack protector's random guard
        support='__getmainargs __initenv __set_app_type __setusermatherr _acmdln _amsg_exit
            _cexit _commode _exit _fmode _initterm _onexit _open abort calloc signal strncmp
            memcpy memset __iob_func fprintf fputc fwrite vfprintf localeconv wcslen
            ___lc_codepage_func ___mb_cur_max_func IsDBCSLeadByteEx MultiByteToWideChar
            WideCharToMultiByte DeleteCriticalSection EnterCriticalSection
            InitializeCriticalSection LeaveCriticalSection GetLastError GetStartupInfoA
            SetUnhandledExceptionFilter Sleep TlsGetValue VirtualProtect VirtualQuery
            __C_specific_handler CryptAcquireContextA CryptGenRandom CryptReleaseContext' ;;
    *) fail "no import list known here for $system" ;;
    esac
    [ -n "$imported" ] || fail "no imports found in $binary"
    allowed=" $(tr -s ' \n' ' ' <<<"$calls $support") "
    echo "imports: $(sort -u <<<"$imported" | tr '\n' ' ')"
    for symbol in $imported; do
        [[ $allowed == *" $symbol "* ]] ||
            fail "$binary imports $symbol, neither a call that doc/building.md lists nor support of $system"
    done
    echo "imports only the calls doc/building.md lists, and $system's support"
}

# Fails unless the Windows program $1 imports only DLLs that come with
# Windows: those that MinGW-w64's programs import, or those that match the
# pattern $2.
windows_dlls_only() {
    local dlls
    dlls=$(llvm-objdump -p "$1" | awk '/DLL Name/ {print $3}')
    echo "$dlls"
    [ -n "$dlls" ] || fail "no imports found in $1"
    if grep -v -i -x -E "${2:-kernel32\.dll|msvcrt\.dll|advapi32\.dll}" <<<"$dlls"; then
        fail "$1 needs the DLLs above"
    fi
    echo "only Windows' own DLLs"
}

# The release's file of kind $1 for target $2 ("-" for the source), from its
# MANIFEST.
released() {
    awk -v kind="$1" -v target="$2" 'NR > 1 && $2 == kind && $3 == target {print $1}' \
        "$files/release/dist/MANIFEST"
}

# Builds a bare Debian of release $2 (a codename of packaging/debian-releases;
# minbase) with mmdebstrap, copies folder $1/work into it as /root/work, and
# runs the script /root/work/run.sh there as root. Nothing is added: no
# sudo, which the documents tell root to leave out, and no automatic yes to
# apt, which takes only what the lines say; apt installs no recommended
# packages there, as mmdebstrap sets it up, so the packages that the
# documents name must be all that is needed. The chroot lives in $1 while
# it runs and is gone afterwards.
# shellcheck disable=SC2016 # lines for mmdebstrap's shell
in_clean_debian() {
    local folder=$1 release=$2
    TMPDIR=$folder mmdebstrap --variant=minbase \
        --customize-hook='mkdir "$1/root/work"' \
        --customize-hook="sync-in $folder/work /root/work" \
        --customize-hook='chroot "$1" sh -eux /root/work/run.sh' \
        "$release" /dev/null
}

# Prints the lines of the documents' block $2 of document $1 as root types
# them: without sudo, as the README says.
as_root() {
    doc_block "$1" "$2" | sed 's/\bsudo //g'
}
