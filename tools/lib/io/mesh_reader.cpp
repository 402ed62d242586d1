#include "io/mesh_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "io/read_error.h"

namespace vexmor::cli {
namespace {

std::string Lowercase(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

// The library numbers nodes and connectivity entries with 32-bit signed integers.
void CheckFitsTheLibrary(const Mesh& mesh, std::string_view path) {
  constexpr size_t kLimit = static_cast<size_t>(std::numeric_limits<int32_t>::max());
  if (mesh.nodeCount() > kLimit) {
    FailInFile(path, std::to_string(mesh.nodeCount()) +
                         " nodes are more than the library can take (2147483647)");
  }
  if (mesh.elem.size() > kLimit) {
    FailInFile(path, "the faces need " + std::to_string(mesh.elem.size()) +
                         " connectivity entries, more than the library can take (2147483647)");
  }
}

}  // namespace

std::optional<MeshFormat> FormatFromExtension(std::string_view path) {
  const size_t dot = path.rfind('.');
  const size_t slash = path.find_last_of("/\\");
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
    return std::nullopt;
  }
  const std::string ext = Lowercase(path.substr(dot + 1));
  if (ext == "stl") return MeshFormat::kStl;
  if (ext == "obj") return MeshFormat::kObj;
  if (ext == "off") return MeshFormat::kOff;
  if (ext == "ply") return MeshFormat::kPly;
  return std::nullopt;
}

std::optional<MeshFormat> FormatFromContent(std::string_view bytes) {
  if (bytes.starts_with("ply\n") || bytes.starts_with("ply\r\n")) return MeshFormat::kPly;
  size_t i = 0;
  while (i < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[i])))
    ++i;
  const std::string head = Lowercase(bytes.substr(i, 8));
  if (head.starts_with("solid")) return MeshFormat::kStl;
  if (head.starts_with("off") || head.starts_with("coff") || head.starts_with("noff") ||
      head.starts_with("cnoff") || head.starts_with("stoff")) {
    return MeshFormat::kOff;
  }
  if (head.starts_with("v ") || head.starts_with("#") || head.starts_with("o ") ||
      head.starts_with("mtllib") || head.starts_with("g ")) {
    return MeshFormat::kObj;
  }
  // A binary STL has no magic number; its size tells it.
  if (bytes.size() >= 84) {
    uint32_t count = 0;
    std::memcpy(&count, bytes.data() + 80, 4);
    if (84 + 50 * static_cast<uint64_t>(count) == bytes.size()) return MeshFormat::kStl;
  }
  return std::nullopt;
}

LoadedMesh ReadMesh(std::string_view bytes, std::string_view path, MeshFormat format) {
  LoadedMesh loaded;
  switch (format) {
    case MeshFormat::kStl:
      loaded = ReadStl(bytes, path);
      break;
    case MeshFormat::kObj:
      loaded = ReadObj(bytes, path);
      break;
    case MeshFormat::kOff:
      loaded = ReadOff(bytes, path);
      break;
    case MeshFormat::kPly:
      loaded = ReadPly(bytes, path);
      break;
  }
  CheckFitsTheLibrary(loaded.mesh, path);
  return loaded;
}

std::string ReadFileBytes(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) FailInFile(path, std::string("cannot open: ") + std::strerror(errno));
  std::string bytes;
  char buffer[1 << 16];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.append(buffer, got);
  const bool failed = std::ferror(file) != 0;
  const int error = errno;
  std::fclose(file);
  if (failed) FailInFile(path, std::string("cannot read: ") + std::strerror(error));
  return bytes;
}

LoadedMesh ReadMeshFile(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  auto format = FormatFromExtension(path);
  if (!format) format = FormatFromContent(bytes);
  if (!format) {
    FailInFile(path, "cannot tell the mesh format: expected a .stl, .obj, .off or .ply file");
  }
  return ReadMesh(bytes, path, *format);
}

}  // namespace vexmor::cli
