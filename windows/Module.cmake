# The module from its own sources, as the Linux build takes them: ziv_core
# holds everything but the exports (the white-box tests link it), ziv.dll adds
# the three exports.
file(GLOB ZIV_CORE_SOURCES CONFIGURE_DEPENDS
  ${ZIV_MODULE_DIR}/diagnostics/*.cpp ${ZIV_MODULE_DIR}/entry/*.cpp ${ZIV_MODULE_DIR}/renderer/*.cpp
  ${ZIV_MODULE_DIR}/texture/*.cpp ${ZIV_MODULE_DIR}/pixel/*.cpp)
list(REMOVE_ITEM ZIV_CORE_SOURCES ${ZIV_MODULE_DIR}/entry/Exports.cpp)

add_library(ziv_core STATIC ${ZIV_CORE_SOURCES})
target_include_directories(ziv_core PUBLIC ${ZIV_MODULE_DIR})
target_link_libraries(ziv_core PUBLIC ziv_plugin_headers corona ddraw)

# Vector kernels, one source compiled per instruction set, as in the Linux
# build; the kernel file adds them to ziv_core.
if(EXISTS ${ZIV_MODULE_DIR}/pixel/simd/kernels.cmake)
  include(${ZIV_MODULE_DIR}/pixel/simd/kernels.cmake)
  # GCC 12's _mm512_undefined_epi32 leaves its value undefined on purpose;
  # inlined into 32-bit code it draws a false maybe-uninitialized warning.
  if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND EXISTS ${ZIV_MODULE_DIR}/pixel/simd/KernelsAvx512.cpp)
    set_property(SOURCE ${ZIV_MODULE_DIR}/pixel/simd/KernelsAvx512.cpp APPEND PROPERTY
      COMPILE_OPTIONS -Wno-maybe-uninitialized)
  endif()
endif()

add_library(ziv SHARED ${ZIV_MODULE_DIR}/entry/Exports.cpp ${CMAKE_CURRENT_LIST_DIR}/ziv.def)
set_target_properties(ziv PROPERTIES PREFIX "" OUTPUT_NAME ziv)
target_link_libraries(ziv PRIVATE ziv_core)
# The link map tells which object each piece of code came from, for the
# check of the instructions per kernel level (scripts/check-instructions.py).
target_link_options(ziv PRIVATE -Wl,-Map=$<TARGET_FILE_DIR:ziv>/ziv.map)
ziv_windows_runtime(ziv)

# 32-bit: no SSE outside the SSE kernel files, plain MMX in the MMX ones, so
# that ziv.dll runs on a Pentium II.
if(ZIV_BUILD_TESTS AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME ziv_instruction_check
    COMMAND ${Python3_EXECUTABLE} ${ZIV_ROOT}/scripts/check-instructions.py linked
      $<TARGET_FILE:ziv> $<TARGET_FILE_DIR:ziv>/ziv.map)
endif()
