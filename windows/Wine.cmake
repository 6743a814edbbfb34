# Running the test programs: under Wine on Linux, through the script
# ziv-wine in the build directory, with the prefix in the build directory.
# On Windows itself the programs run as they are.
if(CMAKE_HOST_WIN32)
  set(ZIV_WINE_RUNNER "")
  return()
endif()
find_program(ZIV_WINE NAMES wine REQUIRED)
find_program(ZIV_WINEBOOT NAMES wineboot REQUIRED)
find_program(ZIV_WINESERVER NAMES wineserver PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT ZIV_WINESERVER)
  find_program(ZIV_WINESERVER NAMES wineserver REQUIRED)
endif()
set(ZIV_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/ziv-wine @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(ZIV_WINE_RUNNER ${CMAKE_BINARY_DIR}/ziv-wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZIV_WINE_RUNNER})
