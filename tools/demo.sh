#!/bin/sh
# Runs a whole scripted session on the bundled sample map.
set -e
exe="$1"
echo "0" | "$exe" || true
