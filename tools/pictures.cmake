# Pictures and the HTML report: Cairo draws the pictures (unless VEXMOR_PICTURES is off); the
# report's page carries three.js and its orbit controls from Debian's libjs-three, read into the
# program when it is built.
if(VEXMOR_PICTURES)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo freetype2)
  target_link_libraries(vexmor_tool PUBLIC PkgConfig::CAIRO)
endif()

# The report's page inlines these files; the program carries them from its build on, so that a
# report needs nothing installed where it is written or opened.
set(VEXMOR_THREE_DIR /usr/share/javascript/three CACHE PATH "Where libjs-three put three.js")
set(VEXMOR_WEB_ASSETS
  VEXMOR_ASSET_THREE ${VEXMOR_THREE_DIR}/three.min.js
  VEXMOR_ASSET_ORBIT_CONTROLS ${VEXMOR_THREE_DIR}/examples/js/controls/OrbitControls.js
  VEXMOR_ASSET_PAGE ${CMAKE_CURRENT_SOURCE_DIR}/web/report.html
  VEXMOR_ASSET_SCRIPT ${CMAKE_CURRENT_SOURCE_DIR}/web/report.js
  VEXMOR_ASSET_STYLE ${CMAKE_CURRENT_SOURCE_DIR}/web/report.css)
set(asset_definitions "")
set(asset_files "")
while(VEXMOR_WEB_ASSETS)
  list(POP_FRONT VEXMOR_WEB_ASSETS name file)
  if(NOT EXISTS ${file})
    message(FATAL_ERROR "${file} is missing: the HTML report inlines it (install libjs-three: make deps)")
  endif()
  list(APPEND asset_definitions "${name}=\"${file}\"")
  list(APPEND asset_files ${file})
endwhile()
set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/lib/report/web_assets.cpp PROPERTIES
  COMPILE_DEFINITIONS "${asset_definitions}"
  OBJECT_DEPENDS "${asset_files}")
