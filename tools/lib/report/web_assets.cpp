#include "report/web_assets.h"

// Each file is assembled into read-only data between two symbols; the build names the files
// (tools/pictures.cmake) and rebuilds this when one changes. The section is left as the
// compiler expects to find it: ELF restores it from the section stack; COFF has no such stack,
// so the blocks go back to .text, where the compiler is before its first function (these
// top-level statements come out ahead of any function or data of this file).
#if defined(_WIN32)
#define VEXMOR_READ_ONLY ".section .rdata,\"dr\"\n"
#define VEXMOR_PREVIOUS_SECTION ".text\n"
#define VEXMOR_LOCAL(symbol) ""
#else
#define VEXMOR_READ_ONLY ".pushsection .rodata\n"
#define VEXMOR_PREVIOUS_SECTION ".popsection\n"
#define VEXMOR_LOCAL(symbol) ".hidden " #symbol "\n"
#endif
#define VEXMOR_EMBED(symbol, path)                                                            \
  asm(VEXMOR_READ_ONLY ".global " #symbol "\n" VEXMOR_LOCAL(symbol) #symbol                   \
      ":\n.incbin \"" path "\"\n.global " #symbol "_end\n" VEXMOR_LOCAL(symbol##_end) #symbol \
      "_end:\n.byte 0\n" VEXMOR_PREVIOUS_SECTION);                                            \
  extern "C" const char symbol[];                                                             \
  extern "C" const char symbol##_end[];

VEXMOR_EMBED(vexmor_asset_three, VEXMOR_ASSET_THREE)
VEXMOR_EMBED(vexmor_asset_orbit_controls, VEXMOR_ASSET_ORBIT_CONTROLS)
VEXMOR_EMBED(vexmor_asset_page, VEXMOR_ASSET_PAGE)
VEXMOR_EMBED(vexmor_asset_script, VEXMOR_ASSET_SCRIPT)
VEXMOR_EMBED(vexmor_asset_style, VEXMOR_ASSET_STYLE)

namespace vexmor::cli {
namespace {

std::string_view Between(const char* begin, const char* end) {
  return {begin, static_cast<size_t>(end - begin)};
}

}  // namespace

const WebAssets& BuiltInWebAssets() {
  static const WebAssets assets{
      Between(vexmor_asset_three, vexmor_asset_three_end),
      Between(vexmor_asset_orbit_controls, vexmor_asset_orbit_controls_end),
      Between(vexmor_asset_page, vexmor_asset_page_end),
      Between(vexmor_asset_script, vexmor_asset_script_end),
      Between(vexmor_asset_style, vexmor_asset_style_end)};
  return assets;
}

}  // namespace vexmor::cli
