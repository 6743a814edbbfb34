# The front door. `make demo` runs the main job, `make test` every test,
# `make bench` the benchmarks. Each installs missing Debian packages first.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build build-asan demo test test-release test-asan bench install clean

deps:
	@sh scripts/install-deps.sh

build: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS)

build-asan: deps
	cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZIV_SANITIZE=ON -DZIV_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-asan -j $(JOBS)

# The main job: builds the module, the platform stand-ins and ziv-demo, then
# renders the demo scene into out/ (PNG frames and out/index.html).
demo: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target ziv-demo
	build/Hosts/demo/ziv-demo

# The suite runs in an optimised build, again there with the vector kernels
# forced off, and in an AddressSanitizer + UndefinedBehaviourSanitizer build.
test: test-release test-asan

test-release: build
	ctest --test-dir build --output-on-failure -j $(JOBS)
	ZIV_SIMD=none ctest --test-dir build --output-on-failure -j $(JOBS)

test-asan: build-asan
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

bench: build
	@mkdir -p out/bench
	@if [ -x build/Hosts/bench/ziv-bench ]; then build/Hosts/bench/ziv-bench --json out/bench/results.json; \
	else echo "ziv-bench is not built yet"; fi

clean:
	rm -rf build build-asan out
