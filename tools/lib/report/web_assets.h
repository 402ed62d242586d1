// The files that the HTML report inlines, built into the program: three.js and its orbit
// controls from Debian's libjs-three, and the page's own template, script and style
// (tools/web/).
#pragma once

#include <string_view>

namespace vexmor::cli {

struct WebAssets {
  std::string_view three, orbitControls, page, script, style;
};

const WebAssets& BuiltInWebAssets();

}  // namespace vexmor::cli
