# cmake -DMODE=find_package|pkg_config -DBUILD_DIR=... -DWORK_DIR=... -DCONSUMER_DIR=...
#       -DGENERATOR=... -DCXX=... -DCXX_FLAGS=... -DPKG_CONFIG=... -P run_consumer.cmake
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "failed (${result}): ${command}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

# Hosts start without help from the environment.
unset(ENV{LD_LIBRARY_PATH})
file(REMOVE_RECURSE ${WORK_DIR})
set(staging ${WORK_DIR}/staging)
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${staging})

# The installed tree can be moved: both package files find their prefix from
# where they are.
set(prefix ${WORK_DIR}/prefix)
file(RENAME ${staging} ${prefix})

foreach(file
    include/ziv/ziv.h include/ziv/PlovLogger.h
    include/ziv/platform/ddraw.h include/ziv/platform/windows.h
    lib/libziv.so lib/libddraw.so lib/libwin32.so lib/dll_logger.dll
    bin/ziv-demo share/ziv-demo/assets/desktop.json
    lib/cmake/ziv/zivConfig.cmake lib/cmake/ziv/zivConfigVersion.cmake
    lib/pkgconfig/ziv.pc)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "the install lacks ${file}")
  endif()
endforeach()

separate_arguments(flags UNIX_COMMAND "${CXX_FLAGS}")
if(MODE STREQUAL "find_package")
  # The consumer's project file is kept under another name so that the test
  # tree does not take it for a test folder.
  set(source ${WORK_DIR}/source)
  file(MAKE_DIRECTORY ${source})
  configure_file(${CONSUMER_DIR}/project.cmake ${source}/CMakeLists.txt COPYONLY)
  configure_file(${CONSUMER_DIR}/consumer.cpp ${source}/consumer.cpp COPYONLY)
  set(build ${WORK_DIR}/build)
  run(${CMAKE_COMMAND} -S ${source} -B ${build} -G ${GENERATOR}
      -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release
      "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}"
      -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
  run(${CMAKE_COMMAND} --build ${build})
  run(${build}/consumer ${prefix}/lib)
  # The installed demo finds its module, its scene and libddraw.so from where
  # it is.
  run(${prefix}/bin/ziv-demo --format 32 --blend 2 --repeat 1 --out ${WORK_DIR}/demo)
  if(NOT EXISTS ${WORK_DIR}/demo/index.html OR NOT run_output MATCHES "Wrote 4 frames")
    message(FATAL_ERROR "the installed ziv-demo did not render the scene:\n${run_output}")
  endif()
elseif(MODE STREQUAL "pkg_config")
  if(NOT PKG_CONFIG)
    message(FATAL_ERROR "pkg-config is not installed")
  endif()
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  set(ENV{PKG_CONFIG_LIBDIR} ${prefix}/lib/pkgconfig)
  run(${PKG_CONFIG} --cflags ziv)
  separate_arguments(cflags UNIX_COMMAND "${run_output}")
  run(${PKG_CONFIG} --libs ziv)
  separate_arguments(libs UNIX_COMMAND "${run_output}")
  run(${PKG_CONFIG} --variable=libdir ziv)
  string(STRIP "${run_output}" libdir)
  # Only what pkg-config gives: its Libs carry the run path.
  run(${CXX} ${flags} ${cflags} ${CONSUMER_DIR}/consumer.cpp -o ${WORK_DIR}/consumer ${libs})
  run(${WORK_DIR}/consumer ${libdir})
else()
  message(FATAL_ERROR "unknown MODE ${MODE}")
endif()
message(STATUS "${run_output}")
