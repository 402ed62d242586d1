// STL: a list of triangles, each with its own three points. Exactly equal points are welded
// into one node, nodes numbered in the order they are first seen, so that the mesh is closed
// where the triangles meet.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "io/text_cursor.h"
#include "io/vertex_welder.h"

namespace vexmor::cli {
namespace {

constexpr size_t kHeaderBytes = 80;
constexpr size_t kTriangleBytes = 50;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  }
  return true;
}

uint32_t ReadU32LittleEndian(const char* p) {
  const auto* b = reinterpret_cast<const unsigned char*>(p);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

float ReadF32LittleEndian(const char* p) {
  const uint32_t bits = ReadU32LittleEndian(p);
  float value;
  std::memcpy(&value, &bits, 4);
  return value;
}

// A text STL starts with "solid" and holds keywords; a binary one whose 80-byte header
// happens to start with "solid" is told apart by its exact size and by the keyword "facet"
// (or "endsolid") following the first line.
bool LooksLikeText(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[i])))
    ++i;
  if (!EqualsIgnoringCase(bytes.substr(i, 5), "solid")) return false;
  if (bytes.size() >= kHeaderBytes + 4) {
    const uint64_t count = ReadU32LittleEndian(bytes.data() + kHeaderBytes);
    if (kHeaderBytes + 4 + kTriangleBytes * count == bytes.size()) return false;
  }
  const size_t lineEnd = bytes.find('\n', i);
  if (lineEnd == std::string_view::npos) return true;  // "solid name" alone, or garbage
  size_t j = lineEnd + 1;
  while (j < bytes.size() && std::isspace(static_cast<unsigned char>(bytes[j])))
    ++j;
  const std::string_view next = bytes.substr(j, 8);
  return EqualsIgnoringCase(next.substr(0, 5), "facet") ||
         EqualsIgnoringCase(next.substr(0, 8), "endsolid") || j == bytes.size();
}

LoadedMesh ReadBinaryStl(std::string_view bytes, std::string_view path) {
  LoadedMesh loaded;
  loaded.format = "binary STL";
  if (bytes.size() < kHeaderBytes + 4) {
    FailAtByte(path, bytes.size(),
               "file ends inside the 84-byte header of a binary STL (80 bytes of text, then "
               "the triangle count)");
  }
  const uint64_t count = ReadU32LittleEndian(bytes.data() + kHeaderBytes);
  const uint64_t available = (bytes.size() - kHeaderBytes - 4) / kTriangleBytes;
  if (count > available) {
    const uint64_t offset = kHeaderBytes + 4 + available * kTriangleBytes;
    FailAtByte(path, offset,
               "truncated binary STL: the header announces " + std::to_string(count) +
                   " triangles (" + std::to_string(kHeaderBytes + 4 + count * kTriangleBytes) +
                   " bytes) but the file has " + std::to_string(bytes.size()) +
                   " bytes; triangle " + std::to_string(available + 1) + " is incomplete");
  }
  const uint64_t extra = bytes.size() - kHeaderBytes - 4 - count * kTriangleBytes;
  if (extra > 0) {
    loaded.notes.push_back(std::to_string(extra) + " bytes after the last of the " +
                           std::to_string(count) + " triangles were ignored");
  }
  Mesh& mesh = loaded.mesh;
  mesh.elem.reserve(4 * count);
  mesh.faceStart.reserve(count);
  VertexWelder welder(mesh, count);
  for (uint64_t t = 0; t < count; ++t) {
    const size_t at = kHeaderBytes + 4 + t * kTriangleBytes;
    int32_t nodes[3];
    for (int v = 0; v < 3; ++v) {
      double p[3];
      for (int k = 0; k < 3; ++k) {
        const size_t offset = at + 12 + 12 * v + 4 * k;
        p[k] = ReadF32LittleEndian(bytes.data() + offset);
        if (!std::isfinite(p[k])) {
          FailAtByte(path, offset,
                     "triangle " + std::to_string(t + 1) + ": coordinate is not a finite number");
        }
      }
      nodes[v] = welder.node(p[0], p[1], p[2]);
    }
    mesh.addFace({nodes[0], nodes[1], nodes[2]});
  }
  return loaded;
}

// Kept out of line: the reading loop stays small, and the message is built only on failure.
[[noreturn, gnu::noinline]] void FailExpectedKeyword(const TextCursor& in, std::string_view keyword,
                                                     std::string_view found) {
  std::string expected;
  expected.append(1, '\'').append(keyword).append(1, '\'');
  in.failFound(expected, found);
}

LoadedMesh ReadTextStl(std::string_view bytes, std::string_view path) {
  LoadedMesh loaded;
  loaded.format = "text STL";
  Mesh& mesh = loaded.mesh;
  // A facet takes at least 80 characters; this bounds the reservation by the file's size.
  const size_t expected = bytes.size() / 80;
  mesh.elem.reserve(4 * expected);
  mesh.faceStart.reserve(expected);
  VertexWelder welder(mesh, expected);
  TextCursor in(path, bytes);
  auto expect = [&](std::string_view keyword) {
    const std::string_view w = in.word();
    if (!EqualsIgnoringCase(w, keyword)) FailExpectedKeyword(in, keyword, w);
  };
  size_t solids = 0;
  while (true) {
    std::string_view w = in.word();
    if (w.empty()) break;
    if (!EqualsIgnoringCase(w, "solid")) {
      in.failFound(solids == 0 ? "'solid'" : "'solid' or the end of the file", w);
    }
    ++solids;
    in.skipLine();  // the solid's name
    while (true) {
      w = in.word();
      if (EqualsIgnoringCase(w, "endsolid")) {
        in.skipLine();
        break;
      }
      if (!EqualsIgnoringCase(w, "facet")) in.failFound("'facet' or 'endsolid'", w);
      // The stored normal is never needed: the library works from the points.
      w = in.word();
      if (EqualsIgnoringCase(w, "normal")) {
        for (int k = 0; k < 3; ++k)
          in.word();
        w = in.word();
      }
      if (!EqualsIgnoringCase(w, "outer")) in.failFound("'outer'", w);
      expect("loop");
      int32_t nodes[3];
      for (int v = 0; v < 3; ++v) {
        expect("vertex");
        const double x = in.number("an x coordinate");
        const double y = in.number("a y coordinate");
        const double z = in.number("a z coordinate");
        nodes[v] = welder.node(x, y, z);
      }
      expect("endloop");
      expect("endfacet");
      mesh.addFace({nodes[0], nodes[1], nodes[2]});
    }
  }
  if (solids == 0) in.fail("expected 'solid', found an empty file");
  return loaded;
}

}  // namespace

LoadedMesh ReadStl(std::string_view bytes, std::string_view path) {
  return LooksLikeText(bytes) ? ReadTextStl(bytes, path) : ReadBinaryStl(bytes, path);
}

}  // namespace vexmor::cli
