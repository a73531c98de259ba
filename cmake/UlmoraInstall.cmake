# Installs the SDK: headers, the library, a CMake package and a pkg-config file.
#
#   <prefix>/include/ulmora/*.h
#   <prefix>/lib/libUlmoraApi.so*                  (Linux)
#   <prefix>/bin/UlmoraApi.dll, lib/libUlmoraApi.dll.a  (Windows)
#   <prefix>/lib/cmake/Ulmora/UlmoraConfig.cmake    find_package(Ulmora CONFIG)
#   <prefix>/lib/pkgconfig/ulmora.pc
#
# Hosts and plug-ins link the target Ulmora::UlmoraApi.
include(CMakePackageConfigHelpers)

set(ULMORA_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Ulmora CACHE STRING
    "Where the CMake package files go, relative to the prefix")
mark_as_advanced(ULMORA_INSTALL_CMAKEDIR)

install(TARGETS UlmoraApi EXPORT UlmoraTargets
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY include/ulmora DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT UlmoraTargets
  NAMESPACE Ulmora::
  FILE UlmoraTargets.cmake
  DESTINATION ${ULMORA_INSTALL_CMAKEDIR})
configure_package_config_file(
  ${CMAKE_CURRENT_LIST_DIR}/UlmoraConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/UlmoraConfig.cmake
  INSTALL_DESTINATION ${ULMORA_INSTALL_CMAKEDIR})
# A host must load a library of the same major version and the same pointer
# width: the version file checks both.
write_basic_package_version_file(
  ${CMAKE_CURRENT_BINARY_DIR}/UlmoraConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${CMAKE_CURRENT_BINARY_DIR}/UlmoraConfig.cmake
  ${CMAKE_CURRENT_BINARY_DIR}/UlmoraConfigVersion.cmake
  DESTINATION ${ULMORA_INSTALL_CMAKEDIR})

# The pkg-config file finds the prefix from its own location, so the installed
# tree may be moved and `cmake --install --prefix` works. Install folders given
# as absolute paths (CMAKE_INSTALL_LIBDIR=/usr/lib/x86_64-linux-gnu) are written
# as they are: they do not move with the prefix.
set(ULMORA_PC_DIR ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
if(IS_ABSOLUTE "${ULMORA_PC_DIR}")
  set(ULMORA_PC_PREFIX "${CMAKE_INSTALL_PREFIX}")
else()
  cmake_path(RELATIVE_PATH CMAKE_INSTALL_PREFIX BASE_DIRECTORY "${CMAKE_INSTALL_PREFIX}/${ULMORA_PC_DIR}"
             OUTPUT_VARIABLE pc_to_prefix)
  string(REGEX REPLACE "/$" "" pc_to_prefix "${pc_to_prefix}")
  set(ULMORA_PC_PREFIX "\${pcfiledir}/${pc_to_prefix}")
endif()
foreach(kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${kind}}")
    set(ULMORA_PC_${kind} "${CMAKE_INSTALL_${kind}}")
  else()
    set(ULMORA_PC_${kind} "\${prefix}/${CMAKE_INSTALL_${kind}}")
  endif()
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/ulmora.pc.in ${CMAKE_CURRENT_BINARY_DIR}/ulmora.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/ulmora.pc DESTINATION ${ULMORA_PC_DIR})

# On Windows, install the MinGW runtime DLLs beside UlmoraApi.dll: hosts and
# plug-ins share them (one heap, one std::string), and the installed ulmora.exe
# runs as is.
if(WIN32 AND MINGW)
  option(ULMORA_INSTALL_MINGW_RUNTIME "Install the MinGW runtime DLLs with the library" ON)
  if(ULMORA_INSTALL_MINGW_RUNTIME)
    foreach(dll libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
      execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                      OUTPUT_VARIABLE dll_path OUTPUT_STRIP_TRAILING_WHITESPACE)
      # The driver answers with the bare name when it does not know the file.
      if(IS_ABSOLUTE "${dll_path}" AND EXISTS "${dll_path}")
        file(REAL_PATH "${dll_path}" dll_path)
        install(FILES ${dll_path} DESTINATION ${CMAKE_INSTALL_BINDIR})
      else()
        message(WARNING "MinGW runtime ${dll} not found; it is not installed")
      endif()
    endforeach()
  endif()
endif()
