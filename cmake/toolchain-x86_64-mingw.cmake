# Cross build of the same sources for 64-bit Windows: the test vehicle on machines that cannot run
# 32-bit code, whose tests run under 64-bit Wine. Not shipped.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PRODUCTS_MINGW_TRIPLET x86_64-w64-mingw32)
set(PRODUCTS_WINDOWS_BITS 64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
