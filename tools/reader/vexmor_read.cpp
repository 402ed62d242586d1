// The C entry over the program's readers: one call reads a file into arrays that a caller in
// another language copies, another releases them. No exception leaves it.
#include "vexmor_read.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

#include "io/mesh_reader.h"
#include "io/vertex_welder.h"
#include "mesh/mesh_report.h"

namespace {

using vexmor::cli::LoadedMesh;
using vexmor::cli::Mesh;
using vexmor::cli::MeshReport;

// The record handed out, followed by the storage its pointers point into.
struct OwnedMesh : VXR_Mesh {
  std::vector<double> coords;
  std::vector<int32_t> sizes, nodes;
  std::string formatText, notesText, errorText;

  void publish() {
    nodeCount = static_cast<int64_t>(coords.size() / 3);
    faceCount = static_cast<int64_t>(sizes.size());
    nodeRefCount = static_cast<int64_t>(nodes.size());
    coordinates = coords.empty() ? nullptr : coords.data();
    faceSizes = sizes.empty() ? nullptr : sizes.data();
    faceNodes = nodes.empty() ? nullptr : nodes.data();
    format = formatText.c_str();
    notes = notesText.c_str();
    error = errorText.c_str();
  }
};

// Merges nodes at equal positions when that closes (some of) an open surface, keeping parts
// that merely touch apart: the program's rule before it analyses a file.
void MergeEqualNodesIfOpen(LoadedMesh& loaded) {
  const MeshReport before = vexmor::cli::InspectMesh(loaded.mesh);
  if (before.boundaryEdges == 0) return;
  Mesh merged = vexmor::cli::MergeEqualNodes(loaded.mesh);
  if (merged.nodeCount() == loaded.mesh.nodeCount()) return;
  const MeshReport after = vexmor::cli::InspectMesh(merged);
  if (after.boundaryEdges + after.nonManifoldEdges >=
      before.boundaryEdges + before.nonManifoldEdges) {
    return;
  }
  const size_t removed = loaded.mesh.nodeCount() - merged.nodeCount();
  loaded.notes.push_back("merged " + std::to_string(removed) + (removed == 1 ? " node" : " nodes") +
                         " repeating the position of another, which left the surface open (" +
                         std::to_string(before.boundaryEdges) + " open edges before, " +
                         std::to_string(after.boundaryEdges) +
                         " after); node numbers are those of the merged mesh");
  loaded.mesh = std::move(merged);
}

void Fill(OwnedMesh& out, LoadedMesh&& loaded) {
  Mesh& mesh = loaded.mesh;
  out.sizes.reserve(mesh.faceCount());
  out.nodes.reserve(mesh.elem.size() - mesh.faceCount());
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto face = mesh.face(f);
    out.sizes.push_back(static_cast<int32_t>(face.size()));
    out.nodes.insert(out.nodes.end(), face.begin(), face.end());
  }
  out.coords = std::move(mesh.coords);
  out.formatText = std::move(loaded.format);
  for (const std::string& note : loaded.notes)
    out.notesText += note + "\n";
}

}  // namespace

extern "C" VXR_Mesh* VXR_Read(const char* path, int32_t mergeEqualNodesIfOpen) {
  auto* out = new (std::nothrow) OwnedMesh{};
  if (out == nullptr) return nullptr;
  try {
    if (path == nullptr) {
      out->errorText = "no file name given";
    } else {
      LoadedMesh loaded = vexmor::cli::ReadMeshFile(path);
      if (mergeEqualNodesIfOpen != 0) MergeEqualNodesIfOpen(loaded);
      Fill(*out, std::move(loaded));
    }
  } catch (const std::bad_alloc&) {
    *out = OwnedMesh{};
    out->errorText = std::string(path) + ": not enough memory to read the mesh";
  } catch (const std::exception& e) {
    *out = OwnedMesh{};
    out->errorText = e.what();
  }
  out->publish();
  return out;
}

extern "C" void VXR_Free(VXR_Mesh* mesh) {
  delete static_cast<OwnedMesh*>(mesh);
}
