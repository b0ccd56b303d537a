#!/bin/sh
# Runs a whole scripted session on the bundled sample map, then one batch run from the
# command line on the same map as a GeoTIFF with its quicklooks and summary page, and
# shows what they produced.
#
#   sh tools/demo.sh path/to/landmosaic
#
# The sample map (data/sample.raw and its header data/sample.txt) is copied into the
# scratch folder demo-output/, the answers of data/demo_answers.txt are typed into the
# program (with @ROOT@ replaced by the repository's own path, the "disk" of the
# dialogue): they are shown first, one a line, then the console of the session, the
# report and the list of result files. Then data/sample.tif (the same map,
# georeferenced) goes through one command line with --quicklook, and the path of its
# summary page is printed; without GDAL in the build, the raw map does, with results in
# bitmap form.
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

echo "=== answers typed (data/demo_answers.txt) ==="
# The console does not echo what is typed: the answers, numbered, in the order the
# questions take them.
awk '{ printf "%3d  %s\n", NR, $0 }' "$answers"
echo
echo "=== session ==="
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
    set -- -w circle -r 8 --quicklook --json "$out/sample_circle8.json" "$out/sample.tif"
else
    set -- -w circle -r 8 -f bmp --quicklook --json "$out/sample_circle8.json" "$out/sample.raw"
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
if [ -f "$out/sample_circle8_summary.html" ]; then
    echo
    echo "=== summary page of the batch run: open it in a browser ==="
    echo "file://$out/sample_circle8_summary.html"
fi
[ "$status" -eq 0 ] || exit "$status"
exit "$batch"
