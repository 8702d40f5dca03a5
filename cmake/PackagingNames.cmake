# Read by cpack for each generator: the installer's file says what it is, and what signing adds.
if(CPACK_GENERATOR STREQUAL "NSIS")
  set(CPACK_PACKAGE_FILE_NAME "${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-${CPACK_PRODUCTS_WINDOWS_NAME}-setup")
endif()

# Signing, when scripts/package --sign asked for it (PRODUCTS_SIGN_PFX set): every program and library
# before packing, then the installer and its uninstaller as NSIS finishes each of them.
if(NOT "$ENV{PRODUCTS_SIGN_PFX}" STREQUAL "")
  set(CPACK_PRE_BUILD_SCRIPTS "${CPACK_PRODUCTS_SOURCE_DIR}/cmake/SignStaged.cmake")
  if(CPACK_GENERATOR STREQUAL "NSIS")
    set(sign "bash \"${CPACK_PRODUCTS_SOURCE_DIR}/scripts/lib/sign-file.sh\" \"%1\"")
    set(CPACK_NSIS_DEFINES "!finalize '${sign}' = 0\n!uninstfinalize '${sign}' = 0")
  endif()
endif()
# The 64-bit test build's installer is a 64-bit program too, from NSIS's amd64 stubs.
if(CPACK_GENERATOR STREQUAL "NSIS" AND CPACK_PRODUCTS_WINDOWS_NAME STREQUAL "win64")
  set(CPACK_NSIS_DEFINES "Target amd64-unicode\n${CPACK_NSIS_DEFINES}")
endif()
