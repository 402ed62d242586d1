// OBJ: "v x y z" lines give the nodes, "f" lines the faces, which may hold any number of
// vertices written as v, v/vt, v//vn or v/vt/vn, counted from 1 or, when negative, back from
// the latest vertex. Faces stay as they are written (polygons are not split); every other
// statement (texture coordinates, normals, groups, materials, lines) is skipped.
#include <limits>
#include <string>

#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "io/text_cursor.h"

namespace vexmor::cli {
namespace {

// Checks that every part of "v/vt/vn" is empty or an integer, and returns the vertex part.
bool VertexPart(std::string_view token, std::string_view& vertex) {
  const size_t slash = token.find('/');
  vertex = token.substr(0, slash);
  if (slash == std::string_view::npos) return true;
  std::string_view rest = token.substr(slash + 1);
  int parts = 0;
  while (true) {
    ++parts;
    const size_t next = rest.find('/');
    const std::string_view part = rest.substr(0, next);
    int64_t ignored = 0;
    if (!part.empty() && !TextCursor::ParseInteger(part, ignored)) return false;
    if (next == std::string_view::npos) break;
    rest = rest.substr(next + 1);
  }
  return parts <= 2;
}

}  // namespace

LoadedMesh ReadObj(std::string_view bytes, std::string_view path) {
  LoadedMesh loaded;
  loaded.format = "OBJ";
  Mesh& mesh = loaded.mesh;
  TextCursor in(path, bytes);
  std::vector<int32_t> face;
  // Positive indices may name vertices written further down; the largest is checked at the
  // end against the final vertex count.
  int64_t largestForward = 0;
  size_t largestForwardLine = 0;
  while (!in.atEnd()) {
    const std::string_view key = in.wordInLine();
    if (key == "v") {
      const double x = in.numberInLine("an x coordinate");
      const double y = in.numberInLine("a y coordinate");
      const double z = in.numberInLine("a z coordinate");
      mesh.addNode(x, y, z);
    } else if (key == "f") {
      face.clear();
      const int64_t defined = static_cast<int64_t>(mesh.nodeCount());
      while (true) {
        const std::string_view token = in.wordInLine();
        if (token.empty()) break;
        if (token == "\\" && in.atLineEnd()) {  // the face goes on on the next line
          in.skipLine();
          continue;
        }
        std::string_view vertexPart;
        int64_t index = 0;
        if (!VertexPart(token, vertexPart) || !TextCursor::ParseInteger(vertexPart, index)) {
          in.failFound("a vertex reference such as 7, 7/2, 7//3 or -1", token);
        }
        if (index == 0) in.fail("vertex index 0 is not valid: OBJ counts vertices from 1");
        if (index < 0) {
          if (-index > defined) {
            in.fail("relative vertex index " + std::to_string(index) +
                    " reaches before the first vertex (" + std::to_string(defined) +
                    " vertices are defined so far)");
          }
          index = defined + index + 1;
        }
        if (index > std::numeric_limits<int32_t>::max()) {
          in.fail("vertex index " + std::to_string(index) + " is too large");
        }
        if (index > defined && index > largestForward) {
          largestForward = index;
          largestForwardLine = in.line();
        }
        face.push_back(static_cast<int32_t>(index - 1));
      }
      if (face.size() < 3) {
        in.fail("a face needs at least 3 vertices, this one has " + std::to_string(face.size()));
      }
      mesh.addFace(face);
    }
    in.skipLine();
  }
  if (largestForward > static_cast<int64_t>(mesh.nodeCount())) {
    FailAtLine(path, largestForwardLine,
               "face refers to vertex " + std::to_string(largestForward) +
                   ", but the file defines only " + std::to_string(mesh.nodeCount()) + " vertices");
  }
  return loaded;
}

}  // namespace vexmor::cli
