# What a Debian server takes: the feed-server package, made by CPack from the release build. The
# program, the unit and its options, the empty catalog folder the operator fills, and the bundled
# catalog and the balancer's configuration as examples. Paths are the installed system's own.
set(feed_server_dir ${PROJECT_SOURCE_DIR}/companions/feed-server)
# Packing installs what is built: scripts/package builds the server first, not the whole tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(TARGETS feed-server RUNTIME DESTINATION usr/bin)
install(FILES ${feed_server_dir}/deploy/feed-server.service DESTINATION lib/systemd/system)
install(FILES ${feed_server_dir}/deploy/feed-server.default DESTINATION etc/default RENAME feed-server)
install(DIRECTORY DESTINATION etc/feed-server)
install(FILES ${feed_server_dir}/README.md ${feed_server_dir}/deploy/debian/copyright
        DESTINATION usr/share/doc/feed-server)
# Debian wants the changelog compressed, without a time stamp in the gzip header (gzip -n).
find_program(PRODUCTS_GZIP gzip REQUIRED)
set(feed_server_changelog ${CMAKE_BINARY_DIR}/feed-server-changelog.gz)
execute_process(COMMAND ${PRODUCTS_GZIP} -9nc ${feed_server_dir}/deploy/debian/changelog
  OUTPUT_FILE ${feed_server_changelog} COMMAND_ERROR_IS_FATAL ANY)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${feed_server_dir}/deploy/debian/changelog)
install(FILES ${feed_server_changelog} DESTINATION usr/share/doc/feed-server RENAME changelog.gz)
install(DIRECTORY ${feed_server_dir}/catalog DESTINATION usr/share/doc/feed-server/examples)
install(FILES ${feed_server_dir}/deploy/haproxy.cfg ${feed_server_dir}/deploy/prometheus.yml
  DESTINATION usr/share/doc/feed-server/examples)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME feed-server)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Products feed server: account feeds and product pages for the Products viewer")
set(CPACK_PACKAGE_DESCRIPTION "Serves the Products viewer's account feeds and product pages
from a catalog of plain text files, on TCP port 1360. Runs as a systemd service
under a dynamic user; reloads its catalog on 'systemctl reload' and drains on
stop; works behind HAProxy with the PROXY protocol.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Products team <products@example.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the program links (dpkg-shlibdeps); passwd for groupadd in postinst.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS passwd)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${feed_server_dir}/deploy/debian/postinst ${feed_server_dir}/deploy/debian/prerm
  ${feed_server_dir}/deploy/debian/postrm ${feed_server_dir}/deploy/debian/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Debian ships programs without their symbol tables.
set(CPACK_STRIP_FILES ON)
include(CPack)
