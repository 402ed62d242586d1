# What a Windows build needs beyond the common one. Included from the top-level CMakeLists.txt
# before any target exists.

# Windows finds a program's DLLs beside it: the DLL, the programs and the tests share one
# folder, so they run in place.
if(NOT CMAKE_RUNTIME_OUTPUT_DIRECTORY)
  set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
endif()

# g++ on Linux always defines _GNU_SOURCE, which brings M_PI and the other constants of
# <cmath>; Windows' headers declare them on this request.
add_compile_definitions(_USE_MATH_DEFINES)

# find_package() looks in this folder first, even in module mode: the packages below are
# made here, for the target, instead of being found among the build machine's.
function(vexmor_redirect_package name)
  string(TOLOWER ${name} lower)
  file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${lower}-config.cmake
       "# ${name} is made for the target in cmake/windows.cmake.\n")
  if(ARGN)
    # The version is the Debian package's own.
    file(WRITE ${CMAKE_FIND_PACKAGE_REDIRECTS_DIR}/${lower}-config-version.cmake
         "include(\"${ARGN}\")\n")
  endif()
endfunction()

if(VEXMOR_BUILD_TOOLS)
  # CLI11 and nlohmann-json are header-only. Their Debian packages put the headers in
  # /usr/include, which must not reach the target's include path (it holds the build machine's C
  # library headers), so only their two folders are linked into one of the build's own.
  set(VEXMOR_HEADER_ONLY_INCLUDE ${CMAKE_BINARY_DIR}/header-only/include)
  file(MAKE_DIRECTORY ${VEXMOR_HEADER_ONLY_INCLUDE})
  foreach(folder CLI nlohmann)
    if(NOT EXISTS /usr/include/${folder})
      message(FATAL_ERROR "/usr/include/${folder} is missing: run 'make deps'")
    endif()
    file(CREATE_LINK /usr/include/${folder} ${VEXMOR_HEADER_ONLY_INCLUDE}/${folder} SYMBOLIC)
  endforeach()
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${VEXMOR_HEADER_ONLY_INCLUDE})
  vexmor_redirect_package(CLI11 /usr/share/cmake/CLI11/CLI11ConfigVersion.cmake)
  vexmor_redirect_package(nlohmann_json /usr/share/cmake/nlohmann_json/nlohmann_jsonConfigVersion.cmake)
endif()

if(VEXMOR_BUILD_TESTS)
  # GoogleTest built for the target from Debian's source package (googletest).
  set(VEXMOR_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
  if(NOT EXISTS ${VEXMOR_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "${VEXMOR_GOOGLETEST_SOURCE} is missing: run 'make deps'")
  endif()
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # It defines the GTest::gtest and GTest::gtest_main targets that the tests link.
  add_subdirectory(${VEXMOR_GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  vexmor_redirect_package(GTest)
endif()
