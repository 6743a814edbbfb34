# Install layout for hosts and plug-in authors:
#   include/ziv/ziv.h, include/ziv/PlovLogger.h
#   include/ziv/platform/{ddraw.h,windows.h,corona.h}   the stand-in platform headers
#   lib/libziv.so, lib/libddraw.so, lib/libwin32.so, lib/dll_logger.dll
#   bin/ziv-demo, share/ziv-demo/assets/                 the demo and its scene
#   lib/cmake/ziv/zivConfig.cmake (+ version)          find_package(ziv CONFIG): ziv::headers, ziv::ddraw
#   lib/pkgconfig/ziv.pc
# Both package files locate the prefix from their own place, so an installed
# tree can be moved.
include(CMakePackageConfigHelpers)

set(ZIV_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
set(ZIV_INSTALL_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(ZIV_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ziv)
set(ZIV_INSTALL_PKGCONFIGDIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

install(TARGETS ziv ddraw win32 dll_logger
  LIBRARY DESTINATION ${ZIV_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${ZIV_INSTALL_LIBDIR})

# The demo finds libddraw.so through its run path, and libziv.so and its
# scene from its own place (see Hosts/demo/main.cpp): bin/../lib and
# bin/../share/ziv-demo/assets.
file(RELATIVE_PATH ZIV_BIN_TO_LIB /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${ZIV_INSTALL_LIBDIR})
file(RELATIVE_PATH ZIV_BIN_TO_ASSETS /prefix/${CMAKE_INSTALL_BINDIR} /prefix/${CMAKE_INSTALL_DATADIR}/ziv-demo/assets)
set_target_properties(ziv-demo PROPERTIES INSTALL_RPATH "$ORIGIN/${ZIV_BIN_TO_LIB}")
target_compile_definitions(ziv-demo PRIVATE
  ZIV_DEMO_BIN_TO_LIB="${ZIV_BIN_TO_LIB}" ZIV_DEMO_BIN_TO_ASSETS="${ZIV_BIN_TO_ASSETS}")
install(TARGETS ziv-demo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/Hosts/demo/assets/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/ziv-demo/assets
  FILES_MATCHING PATTERN "*.png" PATTERN "*.json")

install(FILES
  ${PROJECT_SOURCE_DIR}/RendererModules/DirectDrawGUIRenderer/ziv.h
  ${PROJECT_SOURCE_DIR}/Platform/logger/PlovLogger.h
  DESTINATION ${ZIV_INSTALL_INCLUDEDIR}/ziv)
install(FILES
  ${PROJECT_SOURCE_DIR}/Platform/ddraw/ddraw.h
  ${PROJECT_SOURCE_DIR}/Platform/win32/windows.h
  DESTINATION ${ZIV_INSTALL_INCLUDEDIR}/ziv/platform)
# The image library's header, once the image library has one.
install(FILES ${PROJECT_SOURCE_DIR}/Platform/corona/corona.h
  DESTINATION ${ZIV_INSTALL_INCLUDEDIR}/ziv/platform OPTIONAL)

configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/zivConfig.cmake.in
  ${PROJECT_BINARY_DIR}/cmake/zivConfig.cmake
  INSTALL_DESTINATION ${ZIV_INSTALL_CMAKEDIR}
  PATH_VARS ZIV_INSTALL_INCLUDEDIR ZIV_INSTALL_LIBDIR)
write_basic_package_version_file(
  ${PROJECT_BINARY_DIR}/cmake/zivConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/cmake/zivConfig.cmake
  ${PROJECT_BINARY_DIR}/cmake/zivConfigVersion.cmake
  DESTINATION ${ZIV_INSTALL_CMAKEDIR})

# pkg-config: the prefix is found relative to the .pc file.
file(RELATIVE_PATH ZIV_PC_TO_PREFIX
  /prefix/${ZIV_INSTALL_PKGCONFIGDIR} /prefix)
string(REGEX REPLACE "/$" "" ZIV_PC_TO_PREFIX "${ZIV_PC_TO_PREFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/ziv.pc.in ${PROJECT_BINARY_DIR}/cmake/ziv.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/cmake/ziv.pc DESTINATION ${ZIV_INSTALL_PKGCONFIGDIR})
