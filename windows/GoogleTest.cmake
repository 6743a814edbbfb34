# GoogleTest for the Windows test programs, built from the sources of
# Debian's googletest package with the cross compiler. Included before the
# project's warning flags: the library is not ours to keep free of warnings.
set(ZIV_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources (Debian package googletest)")
if(NOT EXISTS ${ZIV_GOOGLETEST_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources not found in ${ZIV_GOOGLETEST_SOURCE_DIR} "
    "(install the Debian package googletest: scripts/install-deps.sh windows)")
endif()
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
# The win32 threading variant of GCC 12 has no std::mutex, which GoogleTest's
# Notification wants: GoogleTest's platform hook header gives it one over a
# Windows event. The hook folder comes before GoogleTest's own headers, for
# GoogleTest itself (from this directory) and for the test programs.
set(ZIV_GOOGLETEST_HOOKS ${CMAKE_CURRENT_LIST_DIR}/googletest-port)
include_directories(BEFORE ${ZIV_GOOGLETEST_HOOKS})
add_subdirectory(${ZIV_GOOGLETEST_SOURCE_DIR} googletest EXCLUDE_FROM_ALL SYSTEM)
target_include_directories(gtest SYSTEM BEFORE INTERFACE ${ZIV_GOOGLETEST_HOOKS})
