#include "io/results_writer.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <span>
#include <stdexcept>
#include <string_view>

#include "io/binary_output.h"
#include "io/file_writer.h"
#include "io/text_output.h"
#include "report/colour_map.h"

namespace vexmor::cli {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::string LowercaseExtension(const std::string& path) {
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return "";
  std::string ext = path.substr(dot + 1);
  for (char& c : ext)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext;
}

std::vector<bool> NodesUsedByFaces(const Mesh& mesh) {
  std::vector<bool> used(mesh.nodeCount(), false);
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    for (int32_t n : mesh.face(f))
      used[static_cast<size_t>(n)] = true;
  }
  return used;
}

// Appends `bytes` in base64 (RFC 4648, with padding, on one line).
void AppendBase64(std::string& out, std::string_view bytes) {
  static constexpr char kDigits[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  out.reserve(out.size() + (bytes.size() + 2) / 3 * 4);
  size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8 |
                       static_cast<uint8_t>(bytes[i + 2]);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += kDigits[(v >> 6) & 63];
    out += kDigits[v & 63];
  }
  if (i < bytes.size()) {
    const bool two = i + 1 < bytes.size();
    const uint32_t v = static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) << 16 |
                       (two ? static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 1])) << 8 : 0);
    out += kDigits[v >> 18];
    out += kDigits[(v >> 12) & 63];
    out += two ? kDigits[(v >> 6) & 63] : '=';
    out += '=';
  }
}

// One DataArray in VTK's inline binary form: base64 of a UInt64 byte count followed by the
// values, little endian.
template <typename T>
void AppendDataArray(std::string& out, const char* type, const std::string& attributes,
                     std::span<const T> values) {
  std::string raw;
  raw.reserve(8 + values.size() * sizeof(T));
  AppendLittleEndian(raw, static_cast<uint64_t>(values.size() * sizeof(T)));
  for (const T& v : values)
    AppendLittleEndian(raw, v);
  out += std::string("        <DataArray type=\"") + type + "\"" + attributes +
         " format=\"binary\">\n          ";
  AppendBase64(out, raw);
  out += "\n        </DataArray>\n";
}

}  // namespace

std::string ResultsToVtp(const Results& results) {
  const Mesh& mesh = *results.mesh;
  const std::vector<bool> used = NodesUsedByFaces(mesh);
  std::vector<int32_t> points;  // nodes drawn as vertices
  for (size_t n = 0; n < used.size(); ++n) {
    if (!used[n]) points.push_back(static_cast<int32_t>(n));
  }
  const size_t edges = results.edgeNodes.size() / 2;
  std::string out;
  out += "<?xml version=\"1.0\"?>\n";
  out +=
      "<VTKFile type=\"PolyData\" version=\"1.0\" byte_order=\"LittleEndian\" "
      "header_type=\"UInt64\">\n";
  out += "  <PolyData>\n    <Piece NumberOfPoints=\"" + std::to_string(mesh.nodeCount()) +
         "\" NumberOfVerts=\"" + std::to_string(points.size()) + "\" NumberOfLines=\"" +
         std::to_string(edges) + "\" NumberOfStrips=\"0\" NumberOfPolys=\"" +
         std::to_string(mesh.faceCount()) + "\">\n";
  out += "      <Points>\n";
  AppendDataArray<double>(out, "Float64", " NumberOfComponents=\"3\"", mesh.coords);
  out += "      </Points>\n";

  // Node numbers and offsets fit 32 bits: the library takes no larger mesh.
  auto cells = [&](const char* tag, size_t count, auto nodesOf) {
    std::vector<int32_t> connectivity, offsets;
    offsets.reserve(count);
    for (size_t c = 0; c < count; ++c) {
      for (int32_t n : nodesOf(c))
        connectivity.push_back(n);
      offsets.push_back(static_cast<int32_t>(connectivity.size()));
    }
    out += std::string("      <") + tag + ">\n";
    AppendDataArray<int32_t>(out, "Int32", " Name=\"connectivity\"", connectivity);
    AppendDataArray<int32_t>(out, "Int32", " Name=\"offsets\"", offsets);
    out += std::string("      </") + tag + ">\n";
  };
  cells("Verts", points.size(), [&](size_t c) { return std::span<const int32_t>(&points[c], 1); });
  cells("Lines", edges,
        [&](size_t c) { return std::span<const int32_t>(&results.edgeNodes[2 * c], 2); });
  cells("Polys", mesh.faceCount(), [&](size_t c) { return mesh.face(c); });

  // Point data: node fields. Cell data runs over verts, then lines, then polys.
  out += "      <PointData>\n";
  for (const Field& field : results.fields) {
    if (field.location != Location::kNode) continue;
    AppendDataArray<double>(out, "Float64", " Name=\"" + field.name + "\"", field.values);
  }
  out += "      </PointData>\n      <CellData>\n";
  for (const Field& field : results.fields) {
    if (field.location == Location::kNode) continue;
    std::vector<double> values(points.size() + edges + mesh.faceCount(), kNaN);
    const size_t first = points.size() + (field.location == Location::kFace ? edges : 0);
    std::copy(field.values.begin(), field.values.end(),
              values.begin() + static_cast<std::ptrdiff_t>(first));
    AppendDataArray<double>(out, "Float64", " Name=\"" + field.name + "\"", values);
  }
  out += "      </CellData>\n    </Piece>\n  </PolyData>\n</VTKFile>\n";
  return out;
}

std::string ResultsToPly(const Results& results) {
  const Mesh& mesh = *results.mesh;
  std::vector<const Field*> nodeFields, faceFields, edgeFields;
  for (const Field& f : results.fields) {
    (f.location == Location::kNode   ? nodeFields
     : f.location == Location::kFace ? faceFields
                                     : edgeFields)
        .push_back(&f);
  }
  // Colours span the finite range of the coloured field.
  const Field* coloured = nullptr;
  for (const Field* f : faceFields) {
    if (f->name == results.colourField) coloured = f;
  }
  double lo = INFINITY, hi = -INFINITY;
  if (coloured != nullptr) {
    for (double v : coloured->values) {
      if (std::isfinite(v)) {
        lo = std::min(lo, v);
        hi = std::max(hi, v);
      }
    }
  }
  std::string out = "ply\nformat binary_little_endian 1.0\ncomment written by vexmor\n";
  if (coloured != nullptr) {
    out += "comment face colours show " + coloured->name + " from ";
    AppendNumber(out, std::isfinite(lo) ? lo : 0);
    out += " (violet) to ";
    AppendNumber(out, std::isfinite(hi) ? hi : 0);
    out += " (yellow); grey: no value\n";
  }
  out += "element vertex " + std::to_string(mesh.nodeCount()) +
         "\nproperty double x\nproperty double y\nproperty double z\n";
  for (const Field* f : nodeFields)
    out += "property double " + f->name + "\n";
  out += "element face " + std::to_string(mesh.faceCount()) +
         "\nproperty list uint int vertex_indices\n";
  for (const Field* f : faceFields)
    out += "property double " + f->name + "\n";
  if (coloured != nullptr) out += "property uchar red\nproperty uchar green\nproperty uchar blue\n";
  const size_t edges = results.edgeNodes.size() / 2;
  if (!edgeFields.empty()) {
    out +=
        "element edge " + std::to_string(edges) + "\nproperty int vertex1\nproperty int vertex2\n";
    for (const Field* f : edgeFields)
      out += "property double " + f->name + "\n";
  }
  out += "end_header\n";
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    for (int k = 0; k < 3; ++k)
      AppendLittleEndian(out, mesh.coords[3 * n + k]);
    for (const Field* f : nodeFields)
      AppendLittleEndian(out, f->values[n]);
  }
  for (size_t face = 0; face < mesh.faceCount(); ++face) {
    const auto nodes = mesh.face(face);
    AppendLittleEndian(out, static_cast<uint32_t>(nodes.size()));
    for (int32_t n : nodes)
      AppendLittleEndian(out, n);
    for (const Field* f : faceFields)
      AppendLittleEndian(out, f->values[face]);
    if (coloured != nullptr) {
      const double v = coloured->values[face];
      Rgb c = {160, 160, 160};
      if (std::isfinite(v)) c = ColourAt(hi > lo ? (v - lo) / (hi - lo) : 0.5);
      out.append(reinterpret_cast<const char*>(c.data()), 3);
    }
  }
  if (!edgeFields.empty()) {
    for (size_t e = 0; e < edges; ++e) {
      AppendLittleEndian(out, results.edgeNodes[2 * e]);
      AppendLittleEndian(out, results.edgeNodes[2 * e + 1]);
      for (const Field* f : edgeFields)
        AppendLittleEndian(out, f->values[e]);
    }
  }
  return out;
}

std::string ResultsToCsv(const Results& results) {
  const Mesh& mesh = *results.mesh;
  std::string out = "kind,index,x,y,z,area";
  for (const Field& f : results.fields)
    out += "," + f.name;
  out += '\n';
  auto row = [&](const char* kind, size_t index, const Vec3& p, double area, Location where) {
    out += kind;
    out += ',';
    AppendInteger(out, static_cast<int64_t>(index));
    for (double c : p) {
      out += ',';
      AppendNumber(out, c);
    }
    out += ',';
    if (!std::isnan(area)) AppendNumber(out, area);
    for (const Field& f : results.fields) {
      out += ',';
      if (f.location == where && !std::isnan(f.values[index])) AppendNumber(out, f.values[index]);
    }
    out += '\n';
  };
  auto has = [&](Location where) {
    return std::any_of(results.fields.begin(), results.fields.end(),
                       [&](const Field& f) { return f.location == where; });
  };
  // The longest a row can be, for all of them reserved at once: the text never moves while it
  // grows (a copy at each doubling would hold the old text and the new at once, well over a
  // hundred megabytes on a part of a million faces), and only the pages written are touched.
  // The longest shortest form of a double: "-2.2250738585072014e-308".
  constexpr size_t kNumber = 24;
  constexpr size_t kIndex = 20;
  const size_t rowBytes =
      4 + 1 + kIndex + 4 * (1 + kNumber) + results.fields.size() * (1 + kNumber) + 1;
  size_t rows = 0;
  if (has(Location::kFace)) rows += mesh.faceCount();
  if (has(Location::kNode)) rows += mesh.nodeCount();
  if (has(Location::kEdge)) rows += results.edgeNodes.size() / 2;
  out.reserve(out.size() + rows * rowBytes);
  if (has(Location::kFace)) {
    for (size_t f = 0; f < mesh.faceCount(); ++f)
      row("face", f, FaceCentroid(mesh, f), FaceArea(mesh, f), Location::kFace);
  }
  if (has(Location::kNode)) {
    for (size_t n = 0; n < mesh.nodeCount(); ++n)
      row("node", n, mesh.node(n), kNaN, Location::kNode);
  }
  if (has(Location::kEdge)) {
    for (size_t e = 0; e < results.edgeNodes.size() / 2; ++e) {
      const Vec3 a = mesh.node(static_cast<size_t>(results.edgeNodes[2 * e]));
      const Vec3 b = mesh.node(static_cast<size_t>(results.edgeNodes[2 * e + 1]));
      row("edge", e, {(a[0] + b[0]) / 2, (a[1] + b[1]) / 2, (a[2] + b[2]) / 2}, kNaN,
          Location::kEdge);
    }
  }
  return out;
}

void WriteResultsFile(const Results& results, const std::string& path) {
  const std::string ext = LowercaseExtension(path);
  if (ext == "vtp") return WriteFileBytes(path, ResultsToVtp(results));
  if (ext == "ply") return WriteFileBytes(path, ResultsToPly(results));
  if (ext == "csv") return WriteFileBytes(path, ResultsToCsv(results));
  throw std::runtime_error(path +
                           ": cannot tell the format to write: use a .vtp, .ply or "
                           ".csv file name");
}

}  // namespace vexmor::cli
