# Pictures and the HTML report: Cairo draws the pictures; the report's page carries three.js and
# its orbit controls from Debian's libjs-three, read into the program when it is built.
find_package(PkgConfig REQUIRED)
pkg_check_modules(CAIRO REQUIRED IMPORTED_TARGET cairo)
target_link_libraries(vexmor_tool PUBLIC PkgConfig::CAIRO)
