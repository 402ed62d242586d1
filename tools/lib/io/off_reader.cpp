// OFF: a keyword line (OFF, or a variant with colours, normals or texture coordinates per
// vertex), the vertex, face and edge counts, then one vertex per line and one face per line
// ("n i1 ... in", numbered from 0). Values after those a line needs (colours) are skipped.
#include <string>

#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "io/text_cursor.h"

namespace vexmor::cli {
namespace {

// OFF, COFF, NOFF, CNOFF, STOFF, STCOFF, STNOFF, STCNOFF: three coordinates first, then
// values that are skipped.
bool IsPlainVariant(std::string_view keyword) {
  if (keyword.starts_with("ST")) keyword.remove_prefix(2);
  if (keyword.starts_with("C")) keyword.remove_prefix(1);
  if (keyword.starts_with("N")) keyword.remove_prefix(1);
  return keyword == "OFF";
}

}  // namespace

LoadedMesh ReadOff(std::string_view bytes, std::string_view path) {
  LoadedMesh loaded;
  loaded.format = "OFF";
  Mesh& mesh = loaded.mesh;
  TextCursor in(path, bytes);
  in.skipSpace('#');
  const char* start = in.position();
  const std::string_view keyword = in.word('#');
  int64_t ignored = 0;
  if (TextCursor::ParseInteger(keyword, ignored)) {
    in = TextCursor(path, bytes.substr(static_cast<size_t>(start - bytes.data())), in.line());
  } else if (!IsPlainVariant(keyword)) {
    if (keyword.ends_with("OFF")) {
      in.fail("the OFF variant " + Quoted(keyword) +
              " is not supported (only three-dimensional text OFF is)");
    }
    in.failFound("'OFF'", keyword);
  }
  const int64_t nodes = in.integer("the vertex count", '#');
  const int64_t faces = in.integer("the face count", '#');
  if (!in.atLineEnd()) in.integerInLine("the edge count");
  if (nodes < 0 || faces < 0) in.fail("vertex and face counts must not be negative");
  // Every vertex needs at least 3 numbers and every face 4, each at least 2 characters with
  // its separator: counts beyond that cannot be in the file.
  const auto remaining = static_cast<uint64_t>(bytes.size() - (in.position() - bytes.data()));
  if (static_cast<uint64_t>(nodes) > remaining / 6 ||
      static_cast<uint64_t>(faces) > remaining / 8 ||
      static_cast<uint64_t>(nodes) * 6 + static_cast<uint64_t>(faces) * 8 > remaining + 2) {
    in.fail("the header announces " + std::to_string(nodes) + " vertices and " +
            std::to_string(faces) + " faces, more than the " + std::to_string(remaining) +
            " bytes that follow can hold");
  }
  in.skipLine();
  mesh.coords.reserve(3 * static_cast<size_t>(nodes));
  for (int64_t v = 0; v < nodes; ++v) {
    const double x = in.number("an x coordinate", '#');
    const double y = in.number("a y coordinate", '#');
    const double z = in.number("a z coordinate", '#');
    mesh.addNode(x, y, z);
    in.skipLine();
  }
  std::vector<int32_t> face;
  mesh.faceStart.reserve(static_cast<size_t>(faces));
  for (int64_t f = 0; f < faces; ++f) {
    const int64_t n = in.integer("the node count of face " + std::to_string(f), '#');
    if (n < 3) {
      in.fail("face " + std::to_string(f) + " has " + std::to_string(n) +
              " nodes; a face needs at least 3");
    }
    if (static_cast<uint64_t>(n) * 2 > remaining) {
      in.fail("face " + std::to_string(f) + " announces " + std::to_string(n) +
              " nodes, more than the file can hold");
    }
    face.clear();
    for (int64_t k = 0; k < n; ++k) {
      const int64_t node = in.integer("a node number of face " + std::to_string(f), '#');
      if (node < 0 || node >= nodes) {
        in.fail("face " + std::to_string(f) + " refers to vertex " + std::to_string(node) +
                ", but the vertices are numbered 0 to " + std::to_string(nodes - 1));
      }
      face.push_back(static_cast<int32_t>(node));
    }
    mesh.addFace(face);
    in.skipLine();
  }
  return loaded;
}

}  // namespace vexmor::cli
