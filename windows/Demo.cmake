# ziv-demo.exe: the demo's window program for Windows, from the demo's own
# sources (Hosts/demo): its scene, layout and window session, with the Win32
# window, the module loaded with LoadLibraryW and PNG files read through the
# Windows Imaging Component. The scene's pictures go to bin/assets.
set(ZIV_DEMO_DIR ${ZIV_ROOT}/Hosts/demo)

# nlohmann/json is header-only: the build machine's headers serve.
find_path(ZIV_NLOHMANN_INCLUDE_DIR nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT ZIV_NLOHMANN_INCLUDE_DIR)
  message(FATAL_ERROR "nlohmann/json.hpp not found (Debian package nlohmann-json3-dev)")
endif()
set(ZIV_DEMO_EXE_INCLUDE_DIR ${CMAKE_BINARY_DIR}/ziv-demo-include)
file(MAKE_DIRECTORY ${ZIV_DEMO_EXE_INCLUDE_DIR})
file(CREATE_LINK ${ZIV_NLOHMANN_INCLUDE_DIR}/nlohmann ${ZIV_DEMO_EXE_INCLUDE_DIR}/nlohmann SYMBOLIC)

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${ZIV_DEMO_DIR}/assets/desktop.json)
file(READ ${ZIV_DEMO_DIR}/assets/desktop.json ZIV_DEMO_SCENE_TEXT)
configure_file(${ZIV_DEMO_DIR}/BuiltinScene.cpp.in ${CMAKE_BINARY_DIR}/ziv-demo/BuiltinScene.cpp @ONLY)

add_executable(ziv-demo WIN32
  ${ZIV_DEMO_DIR}/window/Win32Main.cpp ${ZIV_DEMO_DIR}/window/Win32Window.cpp
  ${ZIV_DEMO_DIR}/window/WindowMain.cpp ${ZIV_DEMO_DIR}/window/WindowOptions.cpp
  ${ZIV_DEMO_DIR}/window/WindowSession.cpp
  ${ZIV_DEMO_DIR}/DemoDevice.cpp ${ZIV_DEMO_DIR}/DemoRun.cpp ${ZIV_DEMO_DIR}/Image.cpp
  ${ZIV_DEMO_DIR}/ImageCheck.cpp ${ZIV_DEMO_DIR}/Layout.cpp
  ${ZIV_DEMO_DIR}/Scene.cpp ${ZIV_DEMO_DIR}/TargetFormat.cpp ${CMAKE_BINARY_DIR}/ziv-demo/BuiltinScene.cpp
  ${ZIV_DEMO_DIR}/win32/ModuleLibraryWin.cpp ${ZIV_DEMO_DIR}/win32/wicpng/WicPng.cpp)
target_include_directories(ziv-demo PRIVATE ${ZIV_DEMO_DIR} ${ZIV_DEMO_DIR}/window ${ZIV_DEMO_DIR}/win32/wicpng
  ${ZIV_MODULE_DIR})
target_include_directories(ziv-demo SYSTEM PRIVATE ${ZIV_DEMO_EXE_INCLUDE_DIR})
target_link_libraries(ziv-demo PRIVATE ddraw corona -lwindowscodecs -lole32 -luuid)
ziv_windows_runtime(ziv-demo)
add_dependencies(ziv-demo ziv dll_logger)

file(GLOB ZIV_DEMO_EXE_ASSETS CONFIGURE_DEPENDS ${ZIV_DEMO_DIR}/assets/*.png ${ZIV_DEMO_DIR}/assets/*.json)
add_custom_command(TARGET ziv-demo POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/assets
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${ZIV_DEMO_EXE_ASSETS} ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/assets
  VERBATIM)

# The window on a real X display under Wine (Xvfb, 24- and 16-bit), each
# state's client area against the off-screen frames of the Linux ziv-demo
# (make test-windows builds it in build-win-native), then a shorter walk of
# the window drawing straight onto the primary surface through its clipper
# (--direct). A Wine prefix of its own, made on the first run.
if(ZIV_BUILD_TESTS AND ZIV_WINE_RUNNER)
  find_program(ZIV_PYTHON3 NAMES python3 REQUIRED)
  set(ZIV_NATIVE_DEMO ${ZIV_ROOT}/build-win-native/Hosts/demo/ziv-demo)
  add_test(NAME ziv_win_demo_window_test
    COMMAND ${ZIV_PYTHON3} ${ZIV_ROOT}/tests/Hosts/demo/window/window_session.py
      --demo ${ZIV_NATIVE_DEMO} --assets ${ZIV_DEMO_DIR}/assets --work ${CMAKE_BINARY_DIR}/window-session
      --wine ${ZIV_WINE} --wineserver ${ZIV_WINESERVER} --exe $<TARGET_FILE:ziv-demo> --prefix ${CMAKE_BINARY_DIR}/wine-prefix-window
      --direct-too)
  set_tests_properties(ziv_win_demo_window_test PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 900)
endif()
