#include "commands/output_paths.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "analysis/library_calls.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace vexmor::cli {
namespace {

namespace fs = std::filesystem;

std::string LowercaseExtension(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

std::string Listed(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i)
    out += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
  return out;
}

bool SameFile(const fs::path& a, const fs::path& b) {
  std::error_code error;
  if (fs::exists(a, error) && fs::exists(b, error)) return fs::equivalent(a, b, error);
  return fs::weakly_canonical(a, error) == fs::weakly_canonical(b, error);
}

}  // namespace

void CheckOutputPaths(const std::vector<OutputPath>& outputs, const std::string& input) {
  for (const OutputPath& out : outputs) {
    if (out.path.empty()) continue;
    const fs::path path(out.path);
    auto fail = [&](const std::string& what) {
      throw CommandError(kExitBadInput, out.option + " " + out.path + ": " + what);
    };
    const std::string ext = LowercaseExtension(path);
    if (std::find(out.extensions.begin(), out.extensions.end(), ext) == out.extensions.end()) {
      fail((ext.empty() ? std::string("no extension") : "unknown extension '" + ext + "'") +
           ": expected " + Listed(out.extensions));
    }
    std::error_code error;
    if (fs::is_directory(path, error)) fail("is a folder");
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    if (!fs::is_directory(folder, error)) fail("the folder " + folder.string() + " does not exist");
#ifndef _WIN32
    if (::access(folder.c_str(), W_OK) != 0)
      fail("the folder " + folder.string() + " cannot be written");
#endif
    if (!input.empty() && SameFile(path, fs::path(input))) {
      fail("that is the input file: vexmor never writes over it");
    }
  }
}

}  // namespace vexmor::cli
