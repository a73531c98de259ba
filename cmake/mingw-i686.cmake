# Cross-builds the SDK for 32-bit Windows with MinGW-w64 (Debian packages
# g++-mingw-w64-i686, and wine + wine32 to run the tests):
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake
#
# The -posix flavour of the compiler is required: its C++ runtime has
# std::thread and std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(ULMORA_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${ULMORA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ULMORA_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ULMORA_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ULMORA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Host, library and plug-ins must share one C++ runtime and one unwinder so
# that heap blocks, std::string and exceptions can cross module boundaries:
# link libstdc++-6.dll and libgcc_s_dw2-1.dll rather than static copies.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-shared-libgcc")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-shared-libgcc")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-shared-libgcc")

# Test programs run under Wine, with a private prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR})
