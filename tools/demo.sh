#!/bin/sh
# Runs a whole scripted session on the bundled sample map, then one batch run from the
# command line on the same map as a GeoTIFF, and shows what they produced.
#
#   sh tools/demo.sh path/to/landmosaic
#
# The sample map (data/sample.raw and its header data/sample.txt) is copied into the
# scratch folder demo-output/, the answers of data/demo_answers.txt are typed into the
# program (with @ROOT@ replaced by the repository's own path, the "disk" of the
# dialogue), and the console, the report and the list of result files are shown. Then
# data/sample.tif (the same map, georeferenced) goes through one command line; without
# GDAL in the build, the raw map does, with results in bitmap form.
set -e
exe="$1"
if [ -z "$exe" ] || [ ! -x "$exe" ]; then
    echo "usage: sh tools/demo.sh path/to/landmosaic" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out="$root/demo-output"

rm -rf "$out"
mkdir -p "$out"
cp "$root/data/sample.raw" "$root/data/sample.txt" "$root/data/sample.tif" "$out/"
answers=$(mktemp)
trap 'rm -f "$answers"' EXIT
sed "s|@ROOT@|$root/|" "$root/data/demo_answers.txt" > "$answers"

echo "=== session (answers from data/demo_answers.txt) ==="
status=0
"$exe" < "$answers" || status=$?
echo
echo
echo "=== exit status: $status ==="
echo
echo "=== report: demo-output/demo_info.txt ==="
if [ -f "$out/demo_info.txt" ]; then
    cat "$out/demo_info.txt"
    echo
fi
echo
if "$exe" --version | grep -q GDAL; then
    set -- -w circle -r 8 --json "$out/sample_circle8.json" "$out/sample.tif"
else
    set -- -w circle -r 8 -f bmp --json "$out/sample_circle8.json" "$out/sample.raw"
fi
echo "=== batch run: landmosaic $* ==="
batch=0
"$exe" "$@" || batch=$?
echo "=== exit status: $batch ==="
if [ -f "$out/sample_circle8_diversity.tif" ] && command -v gdalinfo >/dev/null 2>&1; then
    echo
    echo "=== gdalinfo demo-output/sample_circle8_diversity.tif (extract) ==="
    gdalinfo "$out/sample_circle8_diversity.tif" |
        grep -E 'Size is|EPSG",32632\]\]$|Origin|Pixel Size|Description|NoData|LANDMOSAIC_(RANK|WINDOW)='
fi
echo
echo "=== files in demo-output/ ==="
ls -l "$out"
[ "$status" -eq 0 ] || exit "$status"
exit "$batch"
