# The optimised native build is what runs on servers and what the Debian package holds: it is built
# with the hardening Debian expects of a package (position-independent executables, the strong stack
# protector and stack clash protection, fortified libc calls, a read-only relocation table bound at
# start), which hardening-check looks for in the package test. Not -fcf-protection: Debian 12's C
# start files carry no IBT/SHSTK notes, so no program linked there can have control flow protection.
# The sanitizer and Windows builds have their own instrumentation.
if(NOT WIN32 AND NOT PRODUCTS_SANITIZE AND CMAKE_BUILD_TYPE STREQUAL "Release")
  include(CheckPIESupported)
  check_pie_supported()
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  set(products_hardening -fstack-protector-strong -fstack-clash-protection -D_FORTIFY_SOURCE=2 -Wformat
      -Werror=format-security)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:${products_hardening}>")
  add_link_options(-Wl,-z,relro,-z,now)
endif()
