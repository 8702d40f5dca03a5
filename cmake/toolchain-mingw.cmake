# What both MinGW-w64 cross builds share; the toolchain file of each names its target first:
# PRODUCTS_MINGW_TRIPLET (i686-w64-mingw32 or x86_64-w64-mingw32) and PRODUCTS_WINDOWS_BITS (32 or 64).
# The posix thread model, since GoogleTest needs std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${PRODUCTS_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${PRODUCTS_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${PRODUCTS_MINGW_TRIPLET}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PRODUCTS_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Windows programs of this build run under Wine through a small wrapper that owns the project's prefix.
set(PRODUCTS_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Wine prefix for running the Windows tests")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
  @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
