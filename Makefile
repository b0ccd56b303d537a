# Two entry points on a fresh clone:
#   make demo   build in Release and run a whole scripted session on the bundled sample map
#   make test   build and run every test, normally and under AddressSanitizer + UBSan
JOBS ?= 2
RELEASE_DIR := build/release
ASAN_DIR := build/asan

.PHONY: all release asan test test-release test-asan demo bench clean

all: release

release:
	cmake -S . -B $(RELEASE_DIR) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(RELEASE_DIR) -j $(JOBS)

asan:
	cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLANDMOSAIC_SANITIZE=ON -DLANDMOSAIC_BENCH=OFF
	cmake --build $(ASAN_DIR) -j $(JOBS)

test-release: release
	cd $(RELEASE_DIR) && ctest --output-on-failure -j $(JOBS)

test-asan: asan
	cd $(ASAN_DIR) && ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

test: test-release test-asan

demo: release
	sh tools/demo.sh $(RELEASE_DIR)/landmosaic

bench: release
	$(RELEASE_DIR)/bench/landmosaic_bench

clean:
	rm -rf build demo-output
