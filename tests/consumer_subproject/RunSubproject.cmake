# Builds tests/consumer_subproject (Ulmora through add_subdirectory) and runs
# its host; checks that a subproject installs nothing unless asked; then asks
# for the install rules with absolute library and include folders, installs,
# and builds tests/consumer against that package (find_package and
# pkg-config). Run by CTest:
#
#   cmake -DULMORA_SOURCE_DIR=... -DWORK_DIR=... -DGENERATOR=... [-DWITH_PKGCONFIG=ON]
#         [-DLAUNCHER=ccache]
#         -P RunSubproject.cmake
cmake_minimum_required(VERSION 3.25)
foreach(var ULMORA_SOURCE_DIR WORK_DIR GENERATOR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "RunSubproject: ${var} is not set")
  endif()
endforeach()

function(step name)
  message(STATUS "subproject: ${name}")
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "subproject: ${name} failed (${rc})")
  endif()
endfunction()

set(build ${WORK_DIR}/build)
set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})

# No build type given: the subproject must not pick one.
step("configure" ${CMAKE_COMMAND} -S ${ULMORA_SOURCE_DIR}/tests/consumer_subproject -B ${build}
     -G "${GENERATOR}" -DULMORA_SOURCE_DIR=${ULMORA_SOURCE_DIR}
     -DCMAKE_CXX_COMPILER_LAUNCHER=${LAUNCHER})
step("build" ${CMAKE_COMMAND} --build ${build})
step("run consumer" ${build}/bin/consumer)

step("install without install rules" ${CMAKE_COMMAND} --install ${build} --prefix ${WORK_DIR}/nothing)
file(GLOB_RECURSE installed ${WORK_DIR}/nothing/*)
if(installed)
  message(FATAL_ERROR "subproject: a subproject installed files unasked: ${installed}")
endif()

# Absolute install folders, as distributions give them.
set(libdir ${prefix}/lib/multiarch-triplet)
set(includedir ${prefix}/include/ulmora-sdk)
step("configure with install rules" ${CMAKE_COMMAND} ${build} -DULMORA_INSTALL=ON
     -DCMAKE_INSTALL_PREFIX=${prefix} -DCMAKE_INSTALL_LIBDIR=${libdir}
     -DCMAKE_INSTALL_INCLUDEDIR=${includedir})
step("build with install rules" ${CMAKE_COMMAND} --build ${build})
step("install" ${CMAKE_COMMAND} --install ${build})
foreach(file ${libdir}/cmake/Ulmora/UlmoraConfig.cmake ${libdir}/pkgconfig/ulmora.pc
             ${includedir}/ulmora/Ulmora.h)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "subproject: ${file} was not installed")
  endif()
endforeach()
file(STRINGS ${libdir}/pkgconfig/ulmora.pc pc_lines)
foreach(expected "libdir=${libdir}" "includedir=${includedir}")
  list(FIND pc_lines "${expected}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "subproject: ulmora.pc lacks '${expected}':\n${pc_lines}")
  endif()
endforeach()

set(consumer_build ${WORK_DIR}/consumer)
# A made-up multiarch folder is not among find_package's search paths.
set(configure_args -S ${ULMORA_SOURCE_DIR}/tests/consumer -B ${consumer_build} -G "${GENERATOR}"
    -DUlmora_DIR=${libdir}/cmake/Ulmora)
set(programs consumer)
if(WITH_PKGCONFIG)
  set(configure_env ${CMAKE_COMMAND} -E env PKG_CONFIG_LIBDIR=${libdir}/pkgconfig PKG_CONFIG_PATH=)
  list(APPEND configure_args -DCONSUMER_WITH_PKGCONFIG=ON)
  list(APPEND programs consumer_pc)
endif()
step("configure the installed-package consumer" ${configure_env} ${CMAKE_COMMAND} ${configure_args})
step("build the installed-package consumer" ${CMAKE_COMMAND} --build ${consumer_build})
foreach(program IN LISTS programs)
  step("run ${program}" ${consumer_build}/bin/${program})
endforeach()
