# Two entry points on a fresh clone:
#   make demo   build the program in Release, run a scripted session and one batch run on
#               the bundled sample map
#   make test   build and run every test, normally and under AddressSanitizer + UBSan
#   make test-fast   build the tests and run the unit tier alone (seconds once built)
# and, for maintenance:
#   make windows   cross-build landmosaic.exe for 64-bit and 32-bit Windows (MinGW-w64)
#   make fuzz      build the fuzz targets (clang, libFuzzer) and run each FUZZ_SECONDS
JOBS ?= 2
RELEASE_DIR := build/release
ASAN_DIR := build/asan

FUZZ_SECONDS ?= 30

# Ninja schedules the two trees' compilations better than make; either works.
# A tree keeps the generator it was made with.
GENERATOR := $(if $(shell command -v ninja 2>/dev/null),-G Ninja,)
generator = $(if $(wildcard $(1)/CMakeCache.txt),,$(GENERATOR))
# The sanitizer tree is for finding faults, not for speed: -O1 with line tables compiles
# in half the time of -O2 -g and still gives file and line in every report.
ASAN_FLAGS := -O1 -g1 -DNDEBUG
# The trees these commands make compile each library's units in batches (a unity build):
# the standard, CLI11, GDAL and GoogleTest headers are parsed once a batch instead of once
# a file, which halves the time of a build from scratch. A tree configured by hand
# compiles file by file unless it asks for the same.
UNITY := -DCMAKE_UNITY_BUILD=ON

.PHONY: all setup setup-demo release asan test test-release test-asan test-fast demo bench bench-bands windows fuzz clean

# What a fresh Debian lacks is installed once, by the script CI uses too.
setup:
	bash tools/setup.sh

setup-demo:
	bash tools/setup.sh --demo

all: release

release: setup
	cmake -S . -B $(RELEASE_DIR) $(call generator,$(RELEASE_DIR)) -DCMAKE_BUILD_TYPE=Release $(UNITY)
	cmake --build $(RELEASE_DIR) -j $(JOBS)

asan: setup
	cmake -S . -B $(ASAN_DIR) $(call generator,$(ASAN_DIR)) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$(ASAN_FLAGS)" -DLANDMOSAIC_SANITIZE=ON -DLANDMOSAIC_BENCH=OFF $(UNITY)
	cmake --build $(ASAN_DIR) -j $(JOBS)

test-release: release
	cd $(RELEASE_DIR) && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS) -E '^WindowsBuild\.'

test: test-release test-asan

# The unit tier (ctest label `unit`): the stages called in process on small maps. The
# other tiers are `program` (tests that start a program) and `slow`.
test-fast: setup
	cmake -S . -B $(RELEASE_DIR) $(call generator,$(RELEASE_DIR)) -DCMAKE_BUILD_TYPE=Release $(UNITY)
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target landmosaic_tests
	cd $(RELEASE_DIR) && ctest --output-on-failure -j $(JOBS) -L unit

# The program alone (no tests, no benchmark), then the scripted dialogue and one batch run.
demo: setup-demo
	cmake -S . -B $(RELEASE_DIR) $(call generator,$(RELEASE_DIR)) -DCMAKE_BUILD_TYPE=Release $(UNITY)
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target landmosaic
	sh tools/demo.sh $(RELEASE_DIR)/landmosaic

bench: release
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target landmosaic_bench
	$(RELEASE_DIR)/bench/landmosaic_bench
	@if [ -d $(RELEASE_DIR)/python/landmosaic ]; then \
	    PYTHONPATH=$(RELEASE_DIR)/python /usr/bin/python3 bench/bench_python.py; \
	else echo "python: the module is not built (pybind11-dev, python3-dev), no comparison"; fi

bench-bands: release
	cmake --build $(RELEASE_DIR) -j $(JOBS) --target landmosaic_bench_bands
	$(RELEASE_DIR)/bench/landmosaic_bench_bands

windows:
	JOBS=$(JOBS) sh tools/windows.sh build x86_64 build/windows-x86_64
	JOBS=$(JOBS) sh tools/windows.sh build i686 build/windows-i686

fuzz:
	JOBS=$(JOBS) sh tools/fuzz.sh $(FUZZ_SECONDS)

clean:
	rm -rf build demo-output
