#!/bin/bash
# Installs what a fresh Debian machine lacks to build, test and demonstrate the program.
# Shared by `make demo`, `make test` and continuous integration; does nothing when all is
# present. Pass --ci to add what only the full CI run needs (Windows cross-builds, Wine,
# fuzzing), or --demo for what the program alone needs (no test or benchmark tools).
# When something is missing and this is neither root nor able to use sudo, it prints the
# exact apt-get line to run and stops.
set -euo pipefail

need=()
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_file() { [ -e "$1" ]; }

have_cmd cmake || need+=(cmake)
have_cmd g++ || need+=(g++)
have_cmd make || need+=(make)
have_cmd ninja || need+=(ninja-build)
have_cmd pkg-config || need+=(pkg-config)
# GDAL: every raster format beyond the three native ones, and its tools for the demo
# and the tests.
have_file /usr/include/gdal/gdal.h || need+=(libgdal-dev)
have_cmd gdalinfo || need+=(gdal-bin)
# The command line and its JSON summaries.
have_file /usr/include/CLI/CLI.hpp || need+=(libcli11-dev)
have_file /usr/include/nlohmann/json.hpp || need+=(nlohmann-json3-dev)
# The quicklook pictures and the summary page (the demo writes them).
have_file /usr/include/png.h || need+=(libpng-dev)
if [ "${1:-}" != "--demo" ]; then
have_file /usr/include/gtest/gtest.h || need+=(libgtest-dev)
# SIMD kernels, runs across machines.
have_file /usr/include/hwy/highway.h || need+=(libhwy-dev)
have_file /usr/include/x86_64-linux-gnu/openmpi/mpi.h || have_file /usr/lib/x86_64-linux-gnu/openmpi/include/mpi.h ||
    need+=(libopenmpi-dev)
have_cmd mpirun || need+=(openmpi-bin)
have_cmd flock || need+=(util-linux)
have_cmd timeout || need+=(coreutils)
# The Python package (pybind11 module over numpy; xarray, dask, a cluster) and its tests.
have_file /usr/include/pybind11/pybind11.h || need+=(pybind11-dev)
ls /usr/include/python3*/Python.h >/dev/null 2>&1 || need+=(python3-dev)
for module in numpy:python3-numpy pytest:python3-pytest xarray:python3-xarray \
    rioxarray:python3-rioxarray dask:python3-dask distributed:python3-distributed \
    scipy:python3-scipy setuptools:python3-setuptools ensurepip:python3-venv; do
    /usr/bin/python3 -c "import ${module%%:*}" >/dev/null 2>&1 || need+=("${module#*:}")
done
# A real browser renders the HTML summary in one test (skipped without it).
have_cmd chromium || need+=(chromium)
fi

if [ "${1:-}" = "--ci" ]; then
    # The Windows program: cross compilers and Wine to run it.
    have_cmd x86_64-w64-mingw32-g++ || need+=(g++-mingw-w64-x86-64)
    have_cmd i686-w64-mingw32-g++ || need+=(g++-mingw-w64-i686)
    [ -x /usr/lib/wine/wine64 ] || have_cmd wine64 || need+=(wine64)
    # The fuzz targets: clang with libFuzzer.
    have_cmd clang++ || need+=(clang)
    ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1 ||
        need+=(libclang-rt-dev)
fi

if [ ${#need[@]} -gt 0 ]; then
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then
        if ! have_cmd sudo; then
            echo "Missing packages. As root, run:" >&2
            echo "    apt-get update && apt-get install -y --no-install-recommends ${need[*]}" >&2
            exit 1
        fi
        sudo="sudo"
    fi
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update -qq
    $sudo apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
