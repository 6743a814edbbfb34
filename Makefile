# The front door. `make demo` runs the main job, `make test` every test,
# `make bench` the benchmarks. Each installs missing Debian packages first.
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: deps build build-asan demo test test-release test-asan test-m32 bench install clean fuzz valgrind
.PHONY: deps-windows windows test-windows

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

# Installs the module, the software DirectDraw and Win32, the logger plug-in,
# the headers, the package files (CMake and pkg-config) and ziv-demo with its
# scene into PREFIX (DESTDIR is honoured). Builds only what it installs.
PREFIX ?= /usr/local
install: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target ziv ddraw win32 dll_logger ziv-demo
	cmake --install build --prefix "$(PREFIX)"

# The suite runs in an optimised build, again there with the vector kernels
# forced off, and in an AddressSanitizer + UndefinedBehaviourSanitizer build.
test: test-release test-asan test-m32

test-release: build
	ctest --test-dir build --output-on-failure -j $(JOBS)
	ZIV_SIMD=none ctest --test-dir build --output-on-failure -j $(JOBS)

test-asan: build-asan
	ctest --test-dir build-asan --output-on-failure -j $(JOBS)

# The 32-bit x86 build (m32/): the kernel, upload and frame tests natively,
# with ZIV_SIMD=none and on an emulated Pentium II (MMX, no SSE), and the
# check that no SSE instruction is outside the kernels compiled for it.
test-m32: deps
	cmake -S m32 -B build-m32 -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build-m32 -j $(JOBS)
	ctest --test-dir build-m32 --output-on-failure -j $(JOBS)

# libFuzzer targets (clang, AddressSanitizer, UndefinedBehaviourSanitizer) in
# build-fuzz, each run for FUZZ_SECONDS on its corpus in fuzz/corpus; then the
# soak test of the optimised build with SOAK_FRAMES frames per blend mode and
# target format.
FUZZ_SECONDS ?= 60
SOAK_FRAMES ?= 4000
fuzz: deps
	cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang \
	  -DCMAKE_CXX_COMPILER=clang++ -DZIV_FUZZ=ON $(CMAKE_FLAGS)
	cmake --build build-fuzz -j $(JOBS) --target ziv-fuzz
	sh fuzz/run.sh build-fuzz $(FUZZ_SECONDS)
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target reliability_soak_test
	ZIV_SOAK_FRAMES=$(SOAK_FRAMES) build/tests/reliability/reliability_soak_test

# ziv-demo under valgrind memcheck (skipped without valgrind).
valgrind: deps
	cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release $(CMAKE_FLAGS)
	cmake --build build -j $(JOBS) --target ziv-demo
	sh tests/reliability/valgrind-demo.sh build/Hosts/demo/ziv-demo out/valgrind; \
	  code=$$?; [ $$code -eq 0 ] || [ $$code -eq 77 ]

# ziv-bench's results in out/bench/results.json, and the whole-frame chart
# drawn from them in out/bench/frames.svg.
bench: build
	@mkdir -p out/bench
	@if [ -x build/Hosts/bench/ziv-bench ]; then build/Hosts/bench/ziv-bench --json out/bench/results.json && \
	  python3 scripts/bench-chart.py out/bench/results.json out/bench/frames.svg; \
	else echo "ziv-bench is not built yet"; fi

clean:
	rm -rf build build-asan build-m32 build-fuzz out

# Windows: ziv.dll, dll_logger.dll and the test programs for 32- and 64-bit
# Windows, cross-built with mingw-w64 (build-win32, build-win64).
# `make test-windows` runs them under Wine, headless, each build with its own
# Wine prefix; the software DirectDraw's side of the comparisons comes from a
# Linux build of its own (build-win-native).
WIN_CMAKE_FLAGS ?=

deps-windows:
	@sh scripts/install-deps.sh windows

windows: deps-windows
	cmake -S windows -B build-win32 -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchains/i686-w64-mingw32.cmake $(WIN_CMAKE_FLAGS)
	cmake --build build-win32 -j $(JOBS)
	cmake -S windows -B build-win64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/toolchains/x86_64-w64-mingw32.cmake $(WIN_CMAKE_FLAGS)
	cmake --build build-win64 -j $(JOBS)

test-windows: windows
	cmake -S . -B build-win-native -G Ninja -DCMAKE_BUILD_TYPE=Release -DZIV_BUILD_BENCH=OFF $(CMAKE_FLAGS)
	cmake --build build-win-native -j $(JOBS) --target ziv_ddraw_software_trace ziv-demo
	build-win-native/tests/windows/ziv_ddraw_software_trace build-win-native/ddraw-software.trace
	rm -rf build-win-native/demo-frames
	build-win-native/Hosts/demo/ziv-demo --format 565,555,32 --blend all --repeat 1 --out build-win-native/demo-frames
	ctest --test-dir build-win32 --output-on-failure -j $(JOBS)
	ctest --test-dir build-win64 --output-on-failure -j $(JOBS)
