# What a Windows user downloads: a portable zip and an installer, both made by CPack from the same
# install rules, so they hold the same files: the programs, the libraries, the sample catalog and a
# read-me. Nothing else: no test program, no import library.
set(PRODUCTS_SHIPPED_TARGETS Vn_Launcher Vn_Products Vn_Browser feed-server Vn_Skin Vn_Category Vn_Countries)
foreach(target IN LISTS PRODUCTS_SHIPPED_TARGETS)
  install(PROGRAMS $<TARGET_FILE:${target}> DESTINATION .)
endforeach()
# What the downloads need built, and no more: a tree whose test programs do not run here (see
# PRODUCTS_WINDOWS_TESTS) builds only this target. cpack packs what is built without building
# everything first (scripts/package builds first), so the package tests never run a build.
add_custom_target(shipped DEPENDS ${PRODUCTS_SHIPPED_TARGETS})
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/companions/feed-server/catalog/ DESTINATION catalog)
# The read-me in the line ends a Windows editor expects.
configure_file(${PROJECT_SOURCE_DIR}/packaging/README.txt.in ${CMAKE_BINARY_DIR}/packaging/README.txt
  @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION .)

set(CPACK_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_PACKAGE_VENDOR ${PRODUCTS_PUBLISHER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "A viewer of one account's product listings")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# win32 for what users get; win64 for the 64-bit test build, which nobody downloads.
set(CPACK_PRODUCTS_WINDOWS_NAME win${PRODUCTS_WINDOWS_BITS})
set(CPACK_PACKAGE_FILE_NAME "${PROJECT_NAME}-${PROJECT_VERSION}-${CPACK_PRODUCTS_WINDOWS_NAME}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY ${PROJECT_NAME})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_GENERATOR "ZIP;NSIS")
# The zip unpacks into a folder of its own name, as archives do by default.

# The installer: Program Files, a Start-menu shortcut to the launcher, an entry in "Apps and
# features" with the version, and the App Paths key through which the shell finds the companion
# browser by its bare name from any working directory.
if(PRODUCTS_WINDOWS_BITS EQUAL 64)
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
else()
  set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES")
endif()
set(CPACK_NSIS_DISPLAY_NAME ${PROJECT_NAME})
set(CPACK_NSIS_PACKAGE_NAME ${PROJECT_NAME})
set(CPACK_NSIS_INSTALLED_ICON_NAME Vn_Launcher.exe)
set(CPACK_PACKAGE_EXECUTABLES Vn_Launcher "Products Launcher")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(PRODUCTS_APP_PATH "Software\\\\Microsoft\\\\Windows\\\\CurrentVersion\\\\App Paths\\\\Vn_Browser.exe")
set(CPACK_NSIS_EXTRA_INSTALL_COMMANDS "
  WriteRegStr SHCTX '${PRODUCTS_APP_PATH}' '' '$INSTDIR\\\\Vn_Browser.exe'
  WriteRegStr SHCTX '${PRODUCTS_APP_PATH}' 'Path' '$INSTDIR'")
set(CPACK_NSIS_EXTRA_UNINSTALL_COMMANDS "
  DeleteRegKey SHCTX '${PRODUCTS_APP_PATH}'")
# Where cpack finds the signing script and the per-generator settings.
set(CPACK_PRODUCTS_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/PackagingNames.cmake)
include(CPack)
