# How every Windows program and DLL of the project links the C++ runtime.
#
# libstdc++ is linked statically, so nothing but the system's DLLs and, on
# 32-bit x86, libgcc_s_dw2-1.dll has to travel with ziv.dll. The GCC support
# library stays shared on x86: its DWARF-2 unwinder keeps the table of
# registered frames in the one libgcc_s_dw2-1.dll, and only then does a C++
# exception thrown inside ziv.dll reach a catch in the host (with a static
# copy in each module the unwinder cannot see the other module's frames and
# the program terminates). x64 unwinds through the system's SEH tables, which
# every module shares, so a static libgcc serves there.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(ZIV_LIBGCC_DLL libgcc_s_dw2-1.dll)
  set(ZIV_LIBGCC_LINK -shared-libgcc)
else()
  set(ZIV_LIBGCC_DLL "")
  set(ZIV_LIBGCC_LINK -static-libgcc)
endif()

function(ziv_windows_runtime target)
  target_link_options(${target} PRIVATE -static-libstdc++ ${ZIV_LIBGCC_LINK})
endfunction()

# The shared GCC support library beside the programs.
if(ZIV_LIBGCC_DLL)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${ZIV_LIBGCC_DLL}
    OUTPUT_VARIABLE ZIV_LIBGCC_PATH OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(NOT EXISTS ${ZIV_LIBGCC_PATH})
    message(FATAL_ERROR "${ZIV_LIBGCC_DLL} not found beside ${CMAKE_CXX_COMPILER}")
  endif()
  file(COPY ${ZIV_LIBGCC_PATH} DESTINATION ${CMAKE_RUNTIME_OUTPUT_DIRECTORY})
endif()
