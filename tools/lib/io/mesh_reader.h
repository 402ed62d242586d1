// Reads STL (text and binary), OBJ, OFF, PLY (text, binary little and big endian), 3MF and AMF,
// each also gzip-compressed, into a Mesh with double coordinates, keeping the file's node and
// face order. Every problem with a file is reported as a ReadError; no byte sequence crashes a
// reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mesh/mesh.h"

namespace vexmor::cli {

enum class MeshFormat { kStl, kObj, kOff, kPly, k3mf, kAmf };

struct LoadedMesh {
  Mesh mesh;
  std::string format;              // e.g. "binary STL", "PLY (binary, big endian)"
  std::vector<std::string> notes;  // things worth telling that did not stop the reading
  std::string unit;                // the file's own length unit ("mm", "in", ...); empty: none
};

// The format that a file name's extension names, if any (case does not matter).
std::optional<MeshFormat> FormatFromExtension(std::string_view path);
// The format that the content of a file shows, if any (format_sniffer.h tells more).
std::optional<MeshFormat> FormatFromContent(std::string_view bytes);

// `path` only names the file in messages.
LoadedMesh ReadMesh(std::string_view bytes, std::string_view path, MeshFormat format);
// Reads the bytes of a file (gzip-compressed or not), choosing the format from the content,
// the extension of `path` only breaking ties.
LoadedMesh ReadMeshBytes(std::string_view bytes, std::string_view path);
// Reads the file as ReadMeshBytes does.
LoadedMesh ReadMeshFile(const std::string& path);

LoadedMesh ReadStl(std::string_view bytes, std::string_view path);
LoadedMesh ReadObj(std::string_view bytes, std::string_view path);
LoadedMesh ReadOff(std::string_view bytes, std::string_view path);
LoadedMesh ReadPly(std::string_view bytes, std::string_view path);
LoadedMesh Read3mf(std::string_view bytes, std::string_view path);
// Plain XML or a ZIP archive holding it.
LoadedMesh ReadAmf(std::string_view bytes, std::string_view path);

// Reads a whole file into memory; throws ReadError naming the file when it cannot.
std::string ReadFileBytes(const std::string& path);

}  // namespace vexmor::cli
