# The same subset as a shared library for hosts, libwin32.so, installed beside
# libddraw.so: everything <windows.h> declares (a host that draws on a
# surface's device context with GetDC and SetPixel, or clips with
# IntersectRect, links it as it would link user32 and gdi32 on Windows). The
# module keeps its own hidden copy and does not need this one.
add_library(win32 SHARED win32.cpp)
target_link_libraries(win32 PUBLIC ziv_platform_headers ${CMAKE_DL_LIBS})
set_target_properties(win32 PROPERTIES
  CXX_VISIBILITY_PRESET default VISIBILITY_INLINES_HIDDEN ON
  LINK_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/exports.map)
target_link_options(win32 PRIVATE
  -Wl,--no-undefined
  -Wl,--version-script=${CMAKE_CURRENT_LIST_DIR}/exports.map)
