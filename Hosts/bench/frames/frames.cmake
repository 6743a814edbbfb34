# The frame cases of ziv-bench: whole frames through the module as a host
# loads it, the same frames drawn by SDL2 and pixman, and a twin of the module
# with the per-frame counting compiled out, so that the benchmark can show
# what counting costs. ziv-frame-profile draws a fixed number of frames for
# profilers.
set(ZIV_MODULE_SOURCE_DIR ${PROJECT_SOURCE_DIR}/RendererModules/DirectDrawGUIRenderer)

# The twin: the files that count, built without counting, linked ahead of
# ziv_core (whose own copies of them are then never pulled in).
add_library(ziv_uncounted_parts OBJECT
  ${ZIV_MODULE_SOURCE_DIR}/renderer/QuadBlit.cpp ${ZIV_MODULE_SOURCE_DIR}/renderer/QuadQueue.cpp
  ${ZIV_MODULE_SOURCE_DIR}/renderer/DamageFrame.cpp)
target_compile_definitions(ziv_uncounted_parts PRIVATE ZIV_FRAME_STATISTICS=0)
target_link_libraries(ziv_uncounted_parts PRIVATE ziv_core)
add_library(ziv_uncounted SHARED ${ZIV_MODULE_SOURCE_DIR}/entry/Exports.cpp $<TARGET_OBJECTS:ziv_uncounted_parts>)
target_link_libraries(ziv_uncounted PRIVATE ziv_core)
target_link_options(ziv_uncounted PRIVATE -Wl,--exclude-libs,ALL -Wl,--no-undefined)

add_library(ziv_bench_frames STATIC
  ${CMAKE_CURRENT_LIST_DIR}/FrameScenes.cpp ${CMAKE_CURRENT_LIST_DIR}/FrameRunners.cpp)
target_include_directories(ziv_bench_frames PUBLIC ${CMAKE_CURRENT_LIST_DIR}/..)
target_link_libraries(ziv_bench_frames PUBLIC ziv_demo_host PkgConfig::ZIV_BENCH_PEERS)
target_compile_definitions(ziv_bench_frames
  PUBLIC ZIV_BENCH_DEMO_ASSETS="${PROJECT_SOURCE_DIR}/Hosts/demo/assets"
  PRIVATE ZIV_BENCH_MODULE="$<TARGET_FILE:ziv>" ZIV_BENCH_UNCOUNTED_MODULE="$<TARGET_FILE:ziv_uncounted>")

target_link_libraries(ziv-bench PRIVATE ziv_bench_frames)
add_dependencies(ziv-bench ziv ziv_uncounted)

add_executable(ziv-frame-profile ${CMAKE_CURRENT_LIST_DIR}/frame_profile.cpp)
target_link_libraries(ziv-frame-profile PRIVATE ziv_bench_frames)
add_dependencies(ziv-frame-profile ziv ziv_uncounted)
