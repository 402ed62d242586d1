// Writes a mesh as STL, OBJ, OFF or PLY, chosen by the file name's extension. STL holds only
// triangles, so faces of more nodes are split into the fan from their first node there.
#pragma once

#include <string>

#include "mesh/mesh.h"

namespace vexmor::cli {

struct MeshWriteOptions {
  bool text = false;            // STL and PLY: text instead of binary
  std::string name = "vexmor";  // STL solid name / header, comments in the other formats
};

std::string MeshToStl(const Mesh& mesh, const MeshWriteOptions& options);
std::string MeshToObj(const Mesh& mesh, const MeshWriteOptions& options);
std::string MeshToOff(const Mesh& mesh, const MeshWriteOptions& options);
std::string MeshToPly(const Mesh& mesh, const MeshWriteOptions& options);

// Throws std::runtime_error for an extension that names no mesh format or a file that cannot
// be written.
void WriteMeshFile(const Mesh& mesh, const std::string& path, const MeshWriteOptions& options);

}  // namespace vexmor::cli
