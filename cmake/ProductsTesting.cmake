# GoogleTest from Debian's source package, and one helper that every test program uses.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

include(GoogleTest)

# Off for a Windows tree whose programs this machine cannot run (the 32-bit tree where 32-bit code does
# not run): its test programs are still built, and the checks that only read its files still run.
option(PRODUCTS_WINDOWS_TESTS "Register the Windows test programs' tests, which run under Wine" ON)

# products_add_test(NAME SOURCES a.cpp ... [LIBS lib ...] [LABELS label ...] [SERIAL])
# One test program per module family. Windows programs go to PRODUCTS_TEST_DIR and run under Wine
# through the cross-compiling emulator; test discovery waits for ctest so the build needs no Wine.
# SERIAL runs each test alone, for tests that change what every program of the session sees.
function(products_add_test name)
  cmake_parse_arguments(T "SERIAL" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  if(WIN32)
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PRODUCTS_TEST_DIR})
    set(prefix "wine.")
  else()
    set(prefix "native.")
  endif()
  set(properties TIMEOUT 120)
  if(T_LABELS)
    list(APPEND properties LABELS "${T_LABELS}")
  endif()
  # Windows on the one shared display, and real mouse and keyboard input, are one at a time: a
  # click meant for one test's window must not land on another's.
  if("gui" IN_LIST T_LABELS)
    list(APPEND properties RESOURCE_LOCK desktop)
  endif()
  if(T_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  if(WIN32 AND NOT PRODUCTS_WINDOWS_TESTS)
    return()
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX ${prefix}
    WORKING_DIRECTORY ${PRODUCTS_TEST_DIR}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 120
    PROPERTIES ${properties})
endfunction()

# products_add_resource_dll(TARGET OUTPUT_NAME NAME OUTPUT_DIRECTORY DIR RC file.rc [DEPENDS ...])
# A library of resources only: no code, no C runtime, no entry point.
function(products_add_resource_dll target)
  cmake_parse_arguments(R "" "OUTPUT_NAME;OUTPUT_DIRECTORY;RC" "DEPENDS;INCLUDE_DIRS" ${ARGN})
  add_library(${target} SHARED ${R_RC})
  set_target_properties(${target} PROPERTIES
    OUTPUT_NAME ${R_OUTPUT_NAME} PREFIX "" LINKER_LANGUAGE C
    RUNTIME_OUTPUT_DIRECTORY ${R_OUTPUT_DIRECTORY})
  target_link_options(${target} PRIVATE -nostdlib -Wl,--entry=0)
  if(R_INCLUDE_DIRS)
    target_include_directories(${target} PRIVATE ${R_INCLUDE_DIRS})
  endif()
  if(R_DEPENDS)
    set_source_files_properties(${R_RC} PROPERTIES OBJECT_DEPENDS "${R_DEPENDS}")
  endif()
endfunction()
file(MAKE_DIRECTORY ${PRODUCTS_TEST_DIR})
