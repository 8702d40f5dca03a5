# products_add_stdcall_dll(NAME DEF file.def SOURCES ...)
# A DLL whose __stdcall functions are exported under their bare names, plus NAME_import, the
# INTERFACE target callers link so that the DLL is bound when they load (and built before them).
function(products_add_stdcall_dll name)
  cmake_parse_arguments(D "" "DEF" "SOURCES" ${ARGN})
  if(NOT CMAKE_DLLTOOL)
    message(FATAL_ERROR "No dlltool found beside the compiler; it makes the import library of ${name}")
  endif()
  # x86_64 has one calling convention and no decorations: there the names lose their @N.
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(source_def ${D_DEF})
    get_filename_component(def_name ${source_def} NAME)
    file(READ ${source_def} def_text)
    string(REGEX REPLACE "@[0-9]+" "" def_text "${def_text}")
    set(D_DEF ${CMAKE_CURRENT_BINARY_DIR}/${def_name})
    file(WRITE ${D_DEF} "${def_text}")
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source_def})
  endif()
  add_library(${name} SHARED ${D_SOURCES} ${D_DEF})
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${name} PREFIX ""
    RUNTIME_OUTPUT_DIRECTORY ${PRODUCTS_RUNTIME_DIR})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  # The .def names are decorated (func@4); the export table must hold the bare names.
  target_link_options(${name} PRIVATE -Wl,--kill-at)

  # ld's own import library, written with --kill-at, lacks the decorated symbols a __stdcall caller
  # refers to, so callers get one made from the .def instead: decorated symbols, bare import names.
  set(import_dir ${CMAKE_CURRENT_BINARY_DIR}/import)
  set(import_library ${import_dir}/lib${name}.a)
  add_custom_command(OUTPUT ${import_library}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${import_dir}
    COMMAND ${CMAKE_DLLTOOL} -k -d ${D_DEF} -D ${name}.dll -l ${import_library}
    DEPENDS ${D_DEF}
    COMMENT "Making the import library of ${name}.dll"
    VERBATIM)
  add_custom_target(${name}_import_library DEPENDS ${import_library})
  add_dependencies(${name}_import_library ${name})

  add_library(${name}_import INTERFACE)
  target_include_directories(${name}_import INTERFACE ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name}_import INTERFACE ${import_library})
  add_dependencies(${name}_import ${name}_import_library)
endfunction()
