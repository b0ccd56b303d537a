#!/bin/sh
# Makes data/sample.tif, the GeoTIFF the demo's batch run reads, from the sample map
# data/sample.raw (see tools/make_sample_map.py): the same pixels, placed in UTM zone 32
# north (EPSG:32632) with its upper left corner at 500000 m E, 5110000 m N, 25 m pixels,
# 255 declared as no-data, tiled and DEFLATE-compressed.
#
#   sh tools/make_sample_geotiff.sh        (needs gdal_translate, from Debian's gdal-bin)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
lines=$(sed -n 1p "$root/data/sample.txt")
columns=$(sed -n 2p "$root/data/sample.txt")
pixel=$(sed -n 6p "$root/data/sample.txt")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$root/data/sample.raw" "$tmp/sample.bil"
# The raw bytes described for GDAL's EHdr reader: one byte per pixel, top line first.
cat > "$tmp/sample.hdr" <<HDR
BYTEORDER I
LAYOUT BIL
NROWS $lines
NCOLS $columns
NBANDS 1
NBITS 8
HDR
gdal_translate -q -of GTiff -a_srs EPSG:32632 \
    -a_ullr 500000 5110000 $((500000 + columns * pixel)) $((5110000 - lines * pixel)) \
    -a_nodata 255 -co TILED=YES -co COMPRESS=DEFLATE -co PREDICTOR=2 \
    "$tmp/sample.bil" "$root/data/sample.tif"
echo "data/sample.tif: $(wc -c < "$root/data/sample.tif") bytes"
