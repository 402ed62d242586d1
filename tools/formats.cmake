# Compressed and packaged mesh formats: gzip through zlib; 3MF through lib3mf; AMF (plain or
# zipped) through expat and libzip. Each is optional: a build without them (the Windows
# cross-build) still reads STL, OBJ, OFF and PLY, and says which formats it lacks.
add_library(vexmor_format_libraries INTERFACE)
if(NOT WIN32)
  find_package(PkgConfig)
  if(PkgConfig_FOUND)
    pkg_check_modules(VEXMOR_ZLIB QUIET IMPORTED_TARGET zlib)
    pkg_check_modules(VEXMOR_PACKAGES QUIET IMPORTED_TARGET lib3MF libzip expat)
  endif()
  if(VEXMOR_ZLIB_FOUND)
    target_link_libraries(vexmor_format_libraries INTERFACE PkgConfig::VEXMOR_ZLIB)
    target_compile_definitions(vexmor_format_libraries INTERFACE VEXMOR_READS_GZIP=1)
  endif()
  if(VEXMOR_PACKAGES_FOUND)
    target_link_libraries(vexmor_format_libraries INTERFACE PkgConfig::VEXMOR_PACKAGES)
    target_compile_definitions(vexmor_format_libraries INTERFACE VEXMOR_READS_PACKAGES=1)
  endif()
endif()
