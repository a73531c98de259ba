# Installs the build's SDK into a fresh prefix, builds tests/consumer against
# it in a build of its own, and runs the result. Run by CTest:
#
#   cmake -DULMORA_BUILD_DIR=... -DCONSUMER_SOURCE_DIR=... -DWORK_DIR=...
#         -DGENERATOR=... [-DBUILD_TYPE=...] [-DTOOLCHAIN_FILE=...]
#         [-DEMULATOR=a,b] [-DEXE_SUFFIX=.exe] [-DEXTRA_FLAGS=...]
#         [-DWITH_PKGCONFIG=ON] -P RunConsumer.cmake
cmake_minimum_required(VERSION 3.16)
foreach(var ULMORA_BUILD_DIR CONSUMER_SOURCE_DIR WORK_DIR GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "RunConsumer: ${var} is not set")
  endif()
endforeach()

function(step name)
  message(STATUS "consumer: ${name}")
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "consumer: ${name} failed (${rc})")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
set(build ${WORK_DIR}/build)
file(REMOVE_RECURSE ${WORK_DIR})

step("install into ${prefix}"
     ${CMAKE_COMMAND} --install ${ULMORA_BUILD_DIR} --prefix ${prefix})

set(configure_args -S ${CONSUMER_SOURCE_DIR} -B ${build} -G "${GENERATOR}"
    -DCMAKE_PREFIX_PATH=${prefix})
if(BUILD_TYPE)
  list(APPEND configure_args -DCMAKE_BUILD_TYPE=${BUILD_TYPE})
endif()
if(TOOLCHAIN_FILE)
  # A cross toolchain roots package searches in the target's sysroot, so the
  # package folder is named directly.
  file(GLOB_RECURSE config_file ${prefix}/UlmoraConfig.cmake)
  get_filename_component(config_dir "${config_file}" DIRECTORY)
  list(APPEND configure_args -DCMAKE_TOOLCHAIN_FILE=${TOOLCHAIN_FILE} -DUlmora_DIR=${config_dir})
endif()
if(EXTRA_FLAGS)
  list(APPEND configure_args "-DCMAKE_CXX_FLAGS=${EXTRA_FLAGS}"
       "-DCMAKE_EXE_LINKER_FLAGS=${EXTRA_FLAGS}")
endif()
if(WITH_PKGCONFIG)
  # Only the installed ulmora.pc may be seen.
  file(GLOB_RECURSE pc_file ${prefix}/ulmora.pc)
  get_filename_component(pc_dir "${pc_file}" DIRECTORY)
  set(configure_env ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${pc_dir} PKG_CONFIG_PATH=)
  list(APPEND configure_args -DCONSUMER_WITH_PKGCONFIG=ON)
endif()
step("configure" ${configure_env} ${CMAKE_COMMAND} ${configure_args})
step("build" ${CMAKE_COMMAND} --build ${build})

string(REPLACE "," ";" emulator "${EMULATOR}")
set(programs consumer)
if(WITH_PKGCONFIG)
  list(APPEND programs consumer_pc)
endif()
foreach(program IN LISTS programs)
  # Under Wine, the installed DLLs come first in the search path.
  step("run ${program}" ${CMAKE_COMMAND} -E env ULMORA_WINE_DLL_PATH=${prefix}/bin
       ${emulator} ${build}/bin/${program}${EXE_SUFFIX})
endforeach()
