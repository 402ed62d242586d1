#include "io/mesh_reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>

#include "io/format_sniffer.h"
#include "io/read_error.h"
#include "io/text_cursor.h"
#include "io/zip_archive.h"

namespace vexmor::cli {
namespace {

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
  if (ext == "3mf") return MeshFormat::k3mf;
  if (ext == "amf") return MeshFormat::kAmf;
  return std::nullopt;
}

std::optional<MeshFormat> FormatFromContent(std::string_view bytes) {
  return SniffContent(bytes).format;
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
    case MeshFormat::k3mf:
      loaded = Read3mf(bytes, path);
      break;
    case MeshFormat::kAmf:
      loaded = ReadAmf(bytes, path);
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

LoadedMesh ReadMeshBytes(std::string_view bytes, std::string_view path) {
  if (SniffContent(bytes).content != Content::kGzip) {
    return ReadMesh(bytes, path, ChooseFormat(bytes, path, path));
  }
  const std::string plain = Gunzip(bytes, path);
  std::string_view inner = path;
  if (inner.size() > 3 && Lowercase(inner.substr(inner.size() - 3)) == ".gz") {
    inner.remove_suffix(3);
  }
  LoadedMesh loaded = ReadMesh(plain, path, ChooseFormat(plain, path, inner));
  loaded.format += ", gzip-compressed";
  return loaded;
}

LoadedMesh ReadMeshFile(const std::string& path) {
  return ReadMeshBytes(ReadFileBytes(path), path);
}

}  // namespace vexmor::cli
