// Tells a mesh file's format from its content, the file name's extension only breaking ties:
// a README or a VRML scene renamed .obj is no OBJ, and a binary STL renamed .obj is an STL.
#pragma once

#include <optional>
#include <string_view>

#include "io/mesh_reader.h"

namespace vexmor::cli {

// What the bytes are, as far as their first bytes and their size tell.
enum class Content {
  kEmpty,     // no bytes, or blanks only
  kGzip,      // a gzip stream: decompress, then look again
  kZip,       // a ZIP archive: 3MF, or a zipped AMF
  kMesh,      // one of the mesh formats (see `format`)
  kNotAMesh,  // something else, described by `what`
  kUnsure     // binary bytes with no magic number: only the extension can say
};

struct Sniffed {
  Content content = Content::kUnsure;
  std::optional<MeshFormat> format;  // with kMesh
  std::string_view what;             // with kNotAMesh: "VRML", "XML that is not AMF", ...
};

Sniffed SniffContent(std::string_view bytes);

// The format to read `bytes` (already decompressed) with, or a ReadError naming `path`:
// "empty file", "not a mesh file (...)". `nameForExtension` is the file name whose extension
// breaks ties (the name without its .gz for a compressed file).
MeshFormat ChooseFormat(std::string_view bytes, std::string_view path,
                        std::string_view nameForExtension);

}  // namespace vexmor::cli
