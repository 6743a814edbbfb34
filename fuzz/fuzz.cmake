# The fuzz build, a configuration of its own:
#   cmake -S . -B build-fuzz -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZIV_FUZZ=ON
# Every object is built with AddressSanitizer, UndefinedBehaviourSanitizer and
# libFuzzer's coverage instrumentation, so the module, the software DirectDraw
# and the image library stand-in all feed the fuzzers' coverage. Shared
# libraries (libddraw.so among them) use the shared sanitizer runtime, which
# every program of this build finds through its run path. The test suite and
# the benchmarks are left out; the fuzz targets are in fuzz/CMakeLists.txt.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "ZIV_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang")
endif()

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-runtime-dir
  OUTPUT_VARIABLE ZIV_FUZZ_RUNTIME_DIR OUTPUT_STRIP_TRAILING_WHITESPACE)
set(ZIV_FUZZ_ENGINE ${ZIV_FUZZ_RUNTIME_DIR}/libclang_rt.fuzzer-x86_64.a)
if(NOT EXISTS ${ZIV_FUZZ_ENGINE})
  message(FATAL_ERROR "libFuzzer not found at ${ZIV_FUZZ_ENGINE} (Debian: libclang-rt-14-dev)")
endif()

add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer -g)
add_link_options(-fsanitize=address,undefined -shared-libsan "LINKER:-rpath,${ZIV_FUZZ_RUNTIME_DIR}")

set(ZIV_BUILD_TESTS OFF)
set(ZIV_BUILD_BENCH OFF)

add_subdirectory(fuzz)
