#!/bin/sh
# Builds the fuzz targets of fuzz/ with clang and libFuzzer and runs each of them for
# SECONDS seconds (default 30) on a copy of its seed corpus.
#   tools/fuzz.sh [SECONDS] [TARGET...]      targets: raw bmp ascii (default: all three)
# A crash, a leak, a timeout, an allocation above the limit or an over-sized memory use
# stops the run with status 1; the input that caused it is kept in build/fuzz/artifacts.
set -eu
cd "$(dirname "$0")/.."

seconds="${1:-30}"
[ $# -gt 0 ] && shift
targets="${*:-raw bmp ascii}"
dir="${FUZZ_BUILD_DIR:-build/fuzz}"

cxx="${FUZZ_CXX:-}"
if [ -z "$cxx" ]; then
    for c in clang++ clang++-19 clang++-18 clang++-17 clang++-16 clang++-15 clang++-14; do
        if command -v "$c" >/dev/null 2>&1; then
            cxx="$c"
            break
        fi
    done
fi
if [ -z "$cxx" ]; then
    echo "fuzz: no clang++ found" >&2
    exit 1
fi

if [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S fuzz -B "$dir" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
fi
cmake --build "$dir" -j "${JOBS:-2}"

mkdir -p "$dir/artifacts" "$dir/tmp"
# The targets write their inputs to files in a scratch folder under TMPDIR.
TMPDIR="$(cd "$dir/tmp" && pwd)"
export TMPDIR
status=0
for t in $targets; do
    work="$dir/corpus-$t"
    mkdir -p "$work"
    echo "fuzz: $t for $seconds s"
    # The seeds are read first, then new inputs go to the working corpus only.
    if ! "$dir/fuzz_$t" "$work" "fuzz/corpus/$t" \
        -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 \
        -max_len=8192 -print_final_stats=1 -artifact_prefix="$dir/artifacts/$t-" \
        >"$dir/$t.log" 2>&1; then
        echo "fuzz: $t FAILED; see $dir/$t.log and $dir/artifacts/" >&2
        tail -n 40 "$dir/$t.log" >&2
        status=1
    else
        grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "$dir/$t.log" | sed "s/^/fuzz: $t /"
    fi
done
rm -rf "$dir/tmp"
exit $status
