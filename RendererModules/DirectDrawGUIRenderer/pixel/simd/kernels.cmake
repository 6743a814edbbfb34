# The vector kernels: one source per instruction set and kernel family (blend,
# upload), each compiled with its own flags into ziv_core. The portable
# kernels serve every other processor.
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|x64|i[3-6]86|x86)$")
  set(ZIV_SIMD_DIR ${CMAKE_CURRENT_LIST_DIR})
  target_sources(ziv_core PRIVATE
    ${ZIV_SIMD_DIR}/KernelsMmx.cpp
    ${ZIV_SIMD_DIR}/UploadMmx.cpp
    ${ZIV_SIMD_DIR}/KernelsSse2.cpp
    ${ZIV_SIMD_DIR}/KernelsAvx2.cpp
    ${ZIV_SIMD_DIR}/KernelsAvx512.cpp
    ${ZIV_SIMD_DIR}/UploadSse2.cpp
    ${ZIV_SIMD_DIR}/UploadAvx2.cpp
    ${ZIV_SIMD_DIR}/UploadAvx512.cpp)
  if(MSVC AND NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    set_source_files_properties(${ZIV_SIMD_DIR}/KernelsAvx2.cpp PROPERTIES COMPILE_OPTIONS "/arch:AVX2")
    set_source_files_properties(${ZIV_SIMD_DIR}/KernelsAvx512.cpp PROPERTIES COMPILE_OPTIONS "/arch:AVX512")
    set_source_files_properties(${ZIV_SIMD_DIR}/UploadAvx2.cpp PROPERTIES COMPILE_OPTIONS "/arch:AVX2")
    set_source_files_properties(${ZIV_SIMD_DIR}/UploadAvx512.cpp PROPERTIES COMPILE_OPTIONS "/arch:AVX512")
  else()
    # MMX without SSE: on 32-bit x86 the compiler then uses the MMX
    # registers themselves (64-bit builds carry MMX operations out in SSE
    # registers, which every x86-64 processor has).
    set(ZIV_MMX_FLAGS -mmmx -mno-sse)
    set(ZIV_SSE2_FLAGS -msse2)
    set(ZIV_AVX2_FLAGS -mavx2)
    set(ZIV_AVX512_FLAGS -mavx2 -mavx512f -mavx512bw -mavx512vl)
    if(MINGW)
      # GCC for Windows does not realign the stack for 32- and 64-byte
      # spills; let the assembler turn aligned vector moves into unaligned ones.
      foreach(flags ZIV_SSE2_FLAGS ZIV_AVX2_FLAGS ZIV_AVX512_FLAGS)
        list(APPEND ${flags} -Wa,-muse-unaligned-vector-move)
      endforeach()
    endif()
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set_source_files_properties(${ZIV_SIMD_DIR}/KernelsMmx.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_MMX_FLAGS}")
      set_source_files_properties(${ZIV_SIMD_DIR}/UploadMmx.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_MMX_FLAGS}")
    endif()
    set_source_files_properties(${ZIV_SIMD_DIR}/KernelsSse2.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_SSE2_FLAGS}")
    set_source_files_properties(${ZIV_SIMD_DIR}/KernelsAvx2.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_AVX2_FLAGS}")
    set_source_files_properties(${ZIV_SIMD_DIR}/KernelsAvx512.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_AVX512_FLAGS}")
    set_source_files_properties(${ZIV_SIMD_DIR}/UploadSse2.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_SSE2_FLAGS}")
    set_source_files_properties(${ZIV_SIMD_DIR}/UploadAvx2.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_AVX2_FLAGS}")
    set_source_files_properties(${ZIV_SIMD_DIR}/UploadAvx512.cpp PROPERTIES COMPILE_OPTIONS "${ZIV_AVX512_FLAGS}")
  endif()
  target_compile_definitions(ziv_core PRIVATE ZIV_X86_KERNELS=1)
endif()
