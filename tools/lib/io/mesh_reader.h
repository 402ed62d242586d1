// Reads STL (text and binary), OBJ, OFF and PLY (text, binary little and big endian) into a
// Mesh with double coordinates, keeping the file's node and face order. Every problem with a
// file is reported as a ReadError; no byte sequence crashes a reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

enum class MeshFormat { kStl, kObj, kOff, kPly };

struct LoadedMesh {
  Mesh mesh;
  std::string format;              // e.g. "binary STL", "PLY (binary, big endian)"
  std::vector<std::string> notes;  // things worth telling that did not stop the reading
};

// The format that a file name's extension names, if any (case does not matter).
std::optional<MeshFormat> FormatFromExtension(std::string_view path);
// The format that the first bytes of a file suggest, if any.
std::optional<MeshFormat> FormatFromContent(std::string_view bytes);

// `path` only names the file in messages.
LoadedMesh ReadMesh(std::string_view bytes, std::string_view path, MeshFormat format);
// Reads the file, choosing the format from the extension, or from the content when the
// extension names none.
LoadedMesh ReadMeshFile(const std::string& path);

LoadedMesh ReadStl(std::string_view bytes, std::string_view path);
LoadedMesh ReadObj(std::string_view bytes, std::string_view path);
LoadedMesh ReadOff(std::string_view bytes, std::string_view path);
LoadedMesh ReadPly(std::string_view bytes, std::string_view path);

// Reads a whole file into memory; throws ReadError naming the file when it cannot.
std::string ReadFileBytes(const std::string& path);

}  // namespace vexmor::cli
