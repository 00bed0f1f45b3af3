# Shared by the MinGW-w64 toolchain files: VELK_MINGW_TRIPLET names the target.
# The posix thread model compilers are required: the win32 model lacks the
# std::thread and std::mutex that GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${VELK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VELK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their runtime: no MinGW DLL has to travel with them.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CLI11 is header-only and plain C++. It is offered to the target from a
# folder of its own: adding the host's /usr/include would put the host's C
# headers in front of the target's.
if(CMAKE_BINARY_DIR AND EXISTS /usr/include/CLI/CLI.hpp)
  set(VELK_HOST_HEADERS ${CMAKE_BINARY_DIR}/host-headers)
  if(NOT EXISTS ${VELK_HOST_HEADERS}/include/CLI)
    file(MAKE_DIRECTORY ${VELK_HOST_HEADERS}/include)
    file(CREATE_LINK /usr/include/CLI ${VELK_HOST_HEADERS}/include/CLI SYMBOLIC)
  endif()
  list(APPEND CMAKE_FIND_ROOT_PATH ${VELK_HOST_HEADERS})
endif()

# Tests and discovery run under Wine, in a prefix of the build's own.
if(CMAKE_BINARY_DIR)
  set(CMAKE_CROSSCOMPILING_EMULATOR
      ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
