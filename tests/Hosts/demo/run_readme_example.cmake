# The README's example host, built the way the README says: install this
# build into a prefix, configure docs/example-host against it with
# find_package(ziv), build it and run it. The README must show the example's
# files exactly as they are.
#
# cmake -DREADME=... -DEXAMPLE_DIR=... -DBUILD_DIR=... -DWORK_DIR=... -DGENERATOR=... -DCXX=...
#       -DCXX_FLAGS=... -DPKG_CONFIG=... -P run_readme_example.cmake
function(run)
  execute_process(COMMAND ${ARGV} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    list(JOIN ARGV " " command)
    message(FATAL_ERROR "failed (${result}): ${command}\n${out}\n${err}")
  endif()
  set(run_output "${out}" PARENT_SCOPE)
endfunction()

file(READ ${README} readme)
foreach(file hello-ziv.cpp CMakeLists.txt)
  file(READ ${EXAMPLE_DIR}/${file} text)
  string(FIND "${readme}" "${text}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "README.md does not show docs/example-host/${file} as it is")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/ziv)
run(${CMAKE_COMMAND} -S ${EXAMPLE_DIR} -B ${WORK_DIR}/build-example -G ${GENERATOR}
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}" "-DCMAKE_EXE_LINKER_FLAGS=${CXX_FLAGS}"
    -DCMAKE_PREFIX_PATH=${WORK_DIR}/ziv -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF)
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build-example)
run(${WORK_DIR}/build-example/hello-ziv)
set(expected "CDDRender - DirectDraw  based renderer module drew #FFA028 at 32,32\n")
if(NOT run_output STREQUAL expected)
  message(FATAL_ERROR "hello-ziv printed: ${run_output}")
endif()

# The same program from pkg-config's flags alone, started without
# LD_LIBRARY_PATH, as the README shows it.
if(NOT readme MATCHES "pkg-config --cflags --libs ziv")
  message(FATAL_ERROR "README.md no longer shows the pkg-config build")
endif()
unset(ENV{LD_LIBRARY_PATH})
set(ENV{PKG_CONFIG_PATH} ${WORK_DIR}/ziv/lib/pkgconfig)
run(${PKG_CONFIG} --cflags --libs ziv)
separate_arguments(pkg_flags UNIX_COMMAND "${run_output}")
separate_arguments(flags UNIX_COMMAND "${CXX_FLAGS}")
run(${CXX} -std=c++20 ${flags} "-DZIV_MODULE=\"${WORK_DIR}/ziv/lib/libziv.so\"" ${EXAMPLE_DIR}/hello-ziv.cpp
    ${pkg_flags} -o ${WORK_DIR}/hello-ziv-pc)
run(${WORK_DIR}/hello-ziv-pc)
if(NOT run_output STREQUAL expected)
  message(FATAL_ERROR "hello-ziv built with pkg-config printed: ${run_output}")
endif()

# A wrong module path, and a library that is not the module: one line and
# exit status 1, no crash.
foreach(wrong ${WORK_DIR}/no-such-libziv.so ${WORK_DIR}/ziv/lib/libddraw.so)
  execute_process(COMMAND ${WORK_DIR}/hello-ziv-pc ${wrong} RESULT_VARIABLE result ERROR_VARIABLE err)
  if(NOT result EQUAL 1 OR NOT err MATCHES "^hello-ziv: [^\n]*${wrong}[^\n]*\n$")
    message(FATAL_ERROR "hello-ziv ${wrong}: exit ${result}, printed: ${err}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
message(STATUS "${run_output}")
