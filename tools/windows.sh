#!/bin/sh
# The Windows program, cross-built with MinGW-w64 and run under Wine.
#
#   tools/windows.sh check ARCH              exit 0 when ARCH (x86_64 or i686) can be built
#   tools/windows.sh build ARCH BUILD_DIR    build BUILD_DIR/landmosaic.exe
#   tools/windows.sh canrun ARCH             exit 0 when Wine can run ARCH programs here
#   tools/windows.sh prefix PREFIX           create the Wine prefix PREFIX once
#   tools/windows.sh run ARCH PREFIX EXE     run EXE under Wine in PREFIX, with the standard
#                                            input, output and error of this script
#   tools/windows.sh prepare ARCH BUILD_DIR PREFIX
#                                            build and create the prefix for the tests, at
#                                            -O1 (a quarter less compile time than -O3);
#                                            exit 0 when the tools are missing, as the tests
#                                            then skip themselves
#
# Exit status 77 means that the tools are missing (a test skips then). Building and
# creating the prefix hold a lock, so that several test processes may ask at once.
set -u

here=$(cd "$(dirname "$0")/.." && pwd)

triple() {
    case "$1" in
        x86_64) echo x86_64-w64-mingw32 ;;
        i686) echo i686-w64-mingw32 ;;
        *) echo "unknown architecture $1" >&2; exit 2 ;;
    esac
}

compiler() {
    t=$(triple "$1")
    for c in "$t-g++-posix" "$t-g++"; do
        if command -v "$c" >/dev/null 2>&1; then
            echo "$c"
            return 0
        fi
    done
    return 1
}

# The Wine loader that runs programs of the architecture.
loader() {
    case "$1" in
        x86_64)
            for w in /usr/lib/wine/wine64 "$(command -v wine64 2>/dev/null)" \
                     "$(command -v wine 2>/dev/null)"; do
                if [ -n "$w" ] && [ -x "$w" ]; then
                    echo "$w"
                    return 0
                fi
            done
            ;;
        i686)
            # 32-bit programs need the 32-bit loader and its libraries.
            for w in /usr/lib/wine/wine /usr/lib/i386-linux-gnu/wine/wine; do
                [ -x "$w" ] || continue
                if ! command -v file >/dev/null 2>&1 || file -L "$w" | grep -q "32-bit"; then
                    echo "$w"
                    return 0
                fi
            done
            ;;
    esac
    return 1
}

wineserver_bin() {
    for s in /usr/lib/wine/wineserver64 /usr/lib/wine/wineserver \
             "$(command -v wineserver 2>/dev/null)"; do
        if [ -n "$s" ] && [ -x "$s" ]; then
            echo "$s"
            return 0
        fi
    done
    return 1
}

# Runs the rest of the command line holding the lock file $1.
locked() {
    lock="$1"
    shift
    mkdir -p "$(dirname "$lock")"
    if command -v flock >/dev/null 2>&1; then
        flock "$lock" "$@"
    else
        "$@"
    fi
}

wine_env() {
    export WINEPREFIX="$1"
    export WINEDEBUG=-all
    # No Mono or Gecko installer dialogue, no window.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}

cmd="${1:-}"
case "$cmd" in
    check)
        compiler "$2" >/dev/null || exit 77
        command -v cmake >/dev/null 2>&1 || exit 77
        exit 0
        ;;
    build)
        arch="$2"
        dir="$3"
        compiler "$arch" >/dev/null || exit 77
        case "$dir" in /*) ;; *) dir="$here/$dir" ;; esac
        mkdir -p "$dir"
        if [ "${4:-}" != "--locked" ]; then
            locked "$dir.lock" sh "$0" build "$arch" "$dir" --locked
            exit $?
        fi
        # The Windows build is a build of its own, whatever make may have started this.
        unset MAKEFLAGS MFLAGS MAKELEVEL
        if [ ! -f "$dir/CMakeCache.txt" ]; then
            set --
            [ -n "${WINDOWS_OPT:-}" ] && set -- -DCMAKE_CXX_FLAGS_RELEASE="$WINDOWS_OPT -DNDEBUG"
            cmake -S "$here" -B "$dir" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-$arch.cmake" \
                -DCMAKE_BUILD_TYPE=Release -DLANDMOSAIC_TESTS=OFF -DLANDMOSAIC_BENCH=OFF \
                -DCMAKE_UNITY_BUILD=ON "$@" \
                >"$dir/configure.log" 2>&1 || { cat "$dir/configure.log" >&2; exit 1; }
        fi
        cmake --build "$dir" --target landmosaic -j "${JOBS:-2}" >"$dir/build.log" 2>&1 ||
            { cat "$dir/build.log" >&2; exit 1; }
        # A warning in the Windows build counts as a fault, as in the native one.
        if grep -v "^g*make\[" "$dir/build.log" | grep -q "warning:"; then
            grep -v "^g*make\[" "$dir/build.log" | grep -A3 "warning:" >&2
            exit 1
        fi
        [ -f "$dir/landmosaic.exe" ] || exit 1
        exit 0
        ;;
    canrun)
        loader "$2" >/dev/null || exit 77
        exit 0
        ;;
    prefix)
        prefix="$2"
        case "$prefix" in /*) ;; *) prefix="$here/$prefix" ;; esac
        w=$(loader x86_64) || exit 77
        if [ "${3:-}" != "--locked" ]; then
            locked "$prefix.lock" sh "$0" prefix "$prefix" --locked
            exit $?
        fi
        if [ ! -f "$prefix/.ready" ]; then
            rm -rf "$prefix"
            mkdir -p "$prefix"
            wine_env "$prefix"
            "$w" wineboot -i >/dev/null 2>&1
            s=$(wineserver_bin) && "$s" -w
            [ -f "$prefix/system.reg" ] || { echo "wine prefix not created" >&2; exit 1; }
            touch "$prefix/.ready"
        fi
        exit 0
        ;;
    prepare)
        compiler "$2" >/dev/null || exit 0
        command -v cmake >/dev/null 2>&1 || exit 0
        # Wine's prefix is made while the program builds: it waits on Wine, not on the
        # processor.
        prefix_status=0
        if loader x86_64 >/dev/null; then
            sh "$0" prefix "$4" &
            prefix_pid=$!
        fi
        WINDOWS_OPT=-O1 sh "$0" build "$2" "$3"
        build_status=$?
        if [ -n "${prefix_pid:-}" ]; then
            wait "$prefix_pid"
            prefix_status=$?
        fi
        [ "$build_status" -eq 0 ] || exit 1
        exit "$prefix_status"
        ;;
    run)
        arch="$2"
        prefix="$3"
        exe="$4"
        case "$prefix" in /*) ;; *) prefix="$here/$prefix" ;; esac
        w=$(loader "$arch") || exit 77
        wine_env "$prefix"
        exec "$w" "$exe"
        ;;
    *)
        sed -n '2,18p' "$0" >&2
        exit 2
        ;;
esac
