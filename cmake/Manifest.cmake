# Application manifests, embedded as resource type 24, id 1, from one template (cmake/app.manifest.in).
# Every program runs as invoker and names Windows 7 to 11. The windowed ones draw fixed pixel sizes
# in the stock GUI font, which does not follow the screen's DPI: they stay DPI-unaware and ask for GDI
# scaling, so Windows draws their text crisply when it scales them. The viewer keeps the classic list
# view that its skin and owner drawing are made for; the two companions take Common Controls 6.

set(PRODUCTS_MANIFEST_GDI_SCALING [=[
  <application xmlns="urn:schemas-microsoft-com:asm.v3">
    <windowsSettings>
      <dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">false</dpiAware>
      <gdiScaling xmlns="http://schemas.microsoft.com/SMI/2017/WindowsSettings">true</gdiScaling>
    </windowsSettings>
  </application>
]=])
set(PRODUCTS_MANIFEST_COMMON_CONTROLS [=[
  <dependency>
    <dependentAssembly>
      <assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="@PRODUCTS_MANIFEST_ARCH@" publicKeyToken="6595b64144ccf1df" language="*"/>
    </dependentAssembly>
  </dependency>
]=])

# The processor the manifests name, which Windows checks against the program's own.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(PRODUCTS_MANIFEST_ARCH amd64)
else()
  set(PRODUCTS_MANIFEST_ARCH x86)
endif()
string(CONFIGURE "${PRODUCTS_MANIFEST_COMMON_CONTROLS}" PRODUCTS_MANIFEST_COMMON_CONTROLS @ONLY)

# products_add_manifest(TARGET KIND viewer|companion|console DESCRIPTION "what it is")
function(products_add_manifest target)
  cmake_parse_arguments(M "" "KIND;DESCRIPTION" "" ${ARGN})
  get_target_property(name ${target} OUTPUT_NAME)
  if(NOT name)
    set(name ${target})
  endif()
  set(PRODUCTS_MANIFEST_NAME ${name})
  set(PRODUCTS_MANIFEST_DESCRIPTION ${M_DESCRIPTION})
  if(M_KIND STREQUAL "viewer")
    set(PRODUCTS_MANIFEST_EXTRA "${PRODUCTS_MANIFEST_GDI_SCALING}")
  elseif(M_KIND STREQUAL "companion")
    set(PRODUCTS_MANIFEST_EXTRA "${PRODUCTS_MANIFEST_GDI_SCALING}${PRODUCTS_MANIFEST_COMMON_CONTROLS}")
  elseif(M_KIND STREQUAL "console")
    set(PRODUCTS_MANIFEST_EXTRA "")
  else()
    message(FATAL_ERROR "products_add_manifest: KIND must be viewer, companion or console")
  endif()
  set(manifest ${CMAKE_CURRENT_BINARY_DIR}/${name}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/app.manifest.in ${manifest} @ONLY)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_manifest.rc)
  file(WRITE ${rc} "// The application manifest of ${name}.exe.\n1 24 \"${manifest}\"\n")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${manifest})
  target_sources(${target} PRIVATE ${rc})
endfunction()
