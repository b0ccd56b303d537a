#!/bin/sh
# Runs a whole scripted session on the bundled sample map and shows what it produced.
#
#   sh tools/demo.sh path/to/landmosaic
#
# The sample map (data/sample.raw and its header data/sample.txt) is copied into the
# scratch folder demo-output/, the answers of data/demo_answers.txt are typed into the
# program (with @ROOT@ replaced by the repository's own path, the "disk" of the
# dialogue), and the console, the report and the list of result files are shown.
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
cp "$root/data/sample.raw" "$root/data/sample.txt" "$out/"
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
echo "=== files in demo-output/ ==="
ls -l "$out"
exit "$status"
