# Installs the library into a fresh prefix, builds the external engine and
# host against that prefix alone, installs them there and runs the host.
foreach(var RKDRV_BUILD_DIR RKDRV_SOURCE_DIR RKDRV_WORK_DIR RKDRV_GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "${var} is not set")
  endif()
endforeach()

set(prefix ${RKDRV_WORK_DIR}/prefix)
file(REMOVE_RECURSE ${RKDRV_WORK_DIR})

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed (${result}): ${ARGN}")
  endif()
endfunction()

# A sanitized library needs sanitized programs around it; a cross-built one
# needs the same toolchain.
set(extra_args)
if(RKDRV_TOOLCHAIN_FILE)
  # A cross toolchain looks for packages under its own root only, so the
  # package's folder is named.
  list(APPEND extra_args "-DCMAKE_TOOLCHAIN_FILE=${RKDRV_TOOLCHAIN_FILE}" "-DRKDRV_DIR=${prefix}/lib/cmake/RKDRV")
endif()
if(RKDRV_SANITIZE)
  list(APPEND extra_args "-DCMAKE_CXX_FLAGS=-fsanitize=${RKDRV_SANITIZE}")
endif()

run(${CMAKE_COMMAND} --install ${RKDRV_BUILD_DIR} --prefix ${prefix})

# Installed under another prefix than the one configured, the tool still
# loads the system engine from where the package put it (the engine folder
# under the library's, or beside the programs on Windows).
file(GLOB_RECURSE system_engine ${prefix}/*RKDRVSC.DLL ${prefix}/*libRKDRVSC.so)
set(tool ${prefix}/bin/rkdrv${RKDRV_EXE_SUFFIX})
if(system_engine AND EXISTS ${tool})
  execute_process(COMMAND ${RKDRV_EMULATOR} ${tool} --json --version OUTPUT_VARIABLE version_json
    RESULT_VARIABLE result)
  string(JSON engine_path ERROR_VARIABLE json_error GET "${version_json}" engine path)
  if(NOT result EQUAL 0 OR json_error)
    message(FATAL_ERROR "rkdrv --json --version failed (${result}): ${version_json}")
  endif()
  # wine names the file as Windows sees it, on its drive Z:.
  string(REPLACE "\\" "/" engine_path "${engine_path}")
  string(REGEX REPLACE "^[Zz]:/" "/" engine_path "${engine_path}")
  if(NOT engine_path STREQUAL system_engine)
    message(FATAL_ERROR "the installed tool loaded '${engine_path}', not ${system_engine}")
  endif()
endif()
run(${CMAKE_COMMAND} -S ${RKDRV_SOURCE_DIR} -B ${RKDRV_WORK_DIR}/build -G ${RKDRV_GENERATOR}
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_INSTALL_PREFIX=${prefix} ${extra_args})
run(${CMAKE_COMMAND} --build ${RKDRV_WORK_DIR}/build)
run(${CMAKE_COMMAND} --install ${RKDRV_WORK_DIR}/build)

# The package's .pc file must name the prefix it was installed to, not the
# one the library was configured with, and its flags alone must build a host.
find_program(PKG_CONFIG pkg-config REQUIRED)
file(GLOB pc_dirs ${prefix}/lib*/pkgconfig ${prefix}/lib/*/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "${pc_dirs}")
set(ENV{PKG_CONFIG_LIBDIR} "${pc_dirs}")
execute_process(COMMAND ${PKG_CONFIG} --modversion rkdrv OUTPUT_VARIABLE pc_version
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0 OR NOT pc_version STREQUAL "1.0.0.0")
  message(FATAL_ERROR "rkdrv.pc: '${pc_version}' (${result})")
endif()
execute_process(COMMAND ${PKG_CONFIG} --cflags --libs rkdrv OUTPUT_VARIABLE pc_flags
  OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "pkg-config --cflags --libs rkdrv failed")
endif()
file(REAL_PATH ${prefix} real_prefix)
separate_arguments(pc_args UNIX_COMMAND "${pc_flags}")
foreach(arg IN LISTS pc_args)
  if(arg MATCHES "^-[IL](.*)$")
    file(REAL_PATH ${CMAKE_MATCH_1} real_dir)
    string(FIND "${real_dir}" "${real_prefix}/" at)
    if(NOT at EQUAL 0)
      message(FATAL_ERROR "rkdrv.pc names '${CMAKE_MATCH_1}', outside the prefix ${prefix}")
    endif()
  endif()
endforeach()
if(RKDRV_CXX)
  set(pc_host ${prefix}/bin/pkgconfig_host${RKDRV_EXE_SUFFIX})
  set(sanitize_args)
  if(RKDRV_SANITIZE)
    set(sanitize_args -fsanitize=${RKDRV_SANITIZE})
  endif()
  run(${RKDRV_CXX} -std=c++17 ${sanitize_args} ${RKDRV_SOURCE_DIR}/ExternalHost.cpp -o ${pc_host} ${pc_args})
endif()

# The sanitizer's dlopen interceptor makes itself the caller, so the
# library's own run path no longer steers the search; name the folder.
if(RKDRV_SANITIZE)
  set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
endif()
set(host ${prefix}/bin/external_host)
if(EXISTS ${host}.exe)
  set(host ${host}.exe)
endif()
run(${RKDRV_EMULATOR} ${host})
if(RKDRV_CXX)
  # Built with the flags alone, it finds the library where a user would
  # point the loader.
  set(ENV{LD_LIBRARY_PATH} ${prefix}/lib)
  run(${RKDRV_EMULATOR} ${pc_host})
endif()
