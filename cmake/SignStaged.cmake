# Run by cpack before it packs (CPACK_PRE_BUILD_SCRIPTS) when signing was asked for: signs every
# program and library of the staged install tree, so both downloads carry signed files.
file(GLOB_RECURSE staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.dll")
foreach(file IN LISTS staged)
  execute_process(COMMAND bash "${CPACK_PRODUCTS_SOURCE_DIR}/scripts/lib/sign-file.sh" "${file}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "signing ${file} failed")
  endif()
endforeach()
