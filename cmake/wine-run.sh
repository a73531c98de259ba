#!/bin/sh
# Runs a Windows program of a cross build under Wine.
#
#   wine-run.sh BUILD_DIR PROGRAM.exe [ARGS...]   run a program
#   wine-run.sh BUILD_DIR --start                 prepare the prefix and server
#   wine-run.sh BUILD_DIR --shutdown              stop the server
#
# The Wine prefix lives in BUILD_DIR/wine-prefix. It is created on first use
# (five to ten seconds), and a persistent wineserver is kept running so that
# each later program starts in a fraction of a second. CTest starts the server
# before the first test and stops it after the last one.
#
# DLLs are looked up, after the program's own folder, in ULMORA_WINE_DLL_PATH
# (colon-separated, optional), BUILD_DIR/bin and the MinGW runtime folders.
set -eu

if [ $# -lt 2 ]; then
    echo "usage: $0 BUILD_DIR PROGRAM [ARGS...] | --start | --shutdown" >&2
    exit 64
fi
build_dir=$1
shift

WINEPREFIX=$build_dir/wine-prefix
WINEDEBUG=-all
WINEARCH=win32
# No Mono, Gecko or menu entries: nothing here needs them, and the installers
# would try to download.
WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPREFIX WINEDEBUG WINEARCH WINEDLLOVERRIDES

if [ "$1" = "--shutdown" ]; then
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        wineserver -w 2>/dev/null || true
    fi
    exit 0
fi

to_windows() {
    printf 'Z:%s' "$1" | tr '/' '\\'
}
# The MinGW runtime folders, as the compiler knows them (they move with its
# version); Debian 12's as a fallback.
runtime_dir() {
    file=$(i686-w64-mingw32-g++-posix -print-file-name="$1" 2>/dev/null || true)
    case $file in
        /*) dirname "$(readlink -f "$file")" ;;
        *) echo "$2" ;;
    esac
}
cxx_runtime=$(runtime_dir libstdc++-6.dll /usr/lib/gcc/i686-w64-mingw32/12-posix)
thread_runtime=$(runtime_dir libwinpthread-1.dll /usr/i686-w64-mingw32/lib)

dll_path=
old_ifs=$IFS
IFS=:
for dir in ${ULMORA_WINE_DLL_PATH:-} "$build_dir/bin" "$cxx_runtime" "$thread_runtime"; do
    [ -n "$dir" ] && dll_path="$dll_path${dll_path:+;}$(to_windows "$dir")"
done
IFS=$old_ifs
WINEPATH=$dll_path
export WINEPATH

# A persistent wineserver keeps Wine's own service processes running between
# programs. When this script starts the server, it also starts those services
# (and on first use fills the prefix) with wineboot, detached from our output:
# a service started by the test program itself would inherit its output pipe
# and CTest would wait for it forever. Two programs must not do this at once
# (ctest -j), hence the lock; the server must not inherit the lock.
mkdir -p "$WINEPREFIX"
(
    flock 9
    if wineserver -p </dev/null >/dev/null 2>&1 9>&-; then
        if [ -f "$WINEPREFIX/.ulmora-ready" ]; then
            wineboot </dev/null >/dev/null 2>&1 9>&-
        else
            wineboot -i </dev/null >/dev/null 2>&1 9>&-
            touch "$WINEPREFIX/.ulmora-ready"
        fi
    fi
) 9>"$WINEPREFIX.lock"

if [ "$1" = "--start" ]; then
    exit 0
fi
exec wine "$@"
