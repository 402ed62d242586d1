#include "io/mesh_writer.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "io/binary_output.h"
#include "io/file_writer.h"
#include "io/mesh_reader.h"
#include "io/text_output.h"
#include "mesh/triangulation.h"

namespace vexmor::cli {
namespace {

Vec3 UnitNormal(const Mesh& mesh, int32_t a, int32_t b, int32_t c) {
  const Vec3 p = mesh.node(static_cast<size_t>(a)), q = mesh.node(static_cast<size_t>(b)),
             r = mesh.node(static_cast<size_t>(c));
  const Vec3 u{q[0] - p[0], q[1] - p[1], q[2] - p[2]}, v{r[0] - p[0], r[1] - p[1], r[2] - p[2]};
  Vec3 n{u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
  for (double& x : n)
    x = length > 0 ? x / length : 0.0;
  return n;
}

}  // namespace

std::string MeshToStl(const Mesh& mesh, const MeshWriteOptions& options) {
  const Triangulation triangles = Triangulate(mesh);
  const Mesh& t = triangles.mesh;
  std::string out;
  if (options.text) {
    out.reserve(t.faceCount() * 260);
    out += "solid " + options.name + "\n";
    for (size_t f = 0; f < t.faceCount(); ++f) {
      const auto nodes = t.face(f);
      const Vec3 n = UnitNormal(t, nodes[0], nodes[1], nodes[2]);
      out += "facet normal ";
      for (int k = 0; k < 3; ++k) {
        AppendNumber(out, n[k]);
        out += k < 2 ? " " : "\n";
      }
      out += " outer loop\n";
      for (int32_t node : nodes) {
        out += "  vertex ";
        for (int k = 0; k < 3; ++k) {
          AppendNumber(out, t.coords[3 * static_cast<size_t>(node) + k]);
          out += k < 2 ? " " : "\n";
        }
      }
      out += " endloop\nendfacet\n";
    }
    out += "endsolid " + options.name + "\n";
    return out;
  }
  // The 80-byte header must not start with "solid", which would make it look like text.
  std::string header = "binary STL written by " + options.name;
  header.resize(80, ' ');
  out = header;
  out.reserve(84 + 50 * t.faceCount());
  AppendLittleEndian(out, static_cast<uint32_t>(t.faceCount()));
  for (size_t f = 0; f < t.faceCount(); ++f) {
    const auto nodes = t.face(f);
    const Vec3 n = UnitNormal(t, nodes[0], nodes[1], nodes[2]);
    for (double x : n)
      AppendLittleEndian(out, static_cast<float>(x));
    for (int32_t node : nodes) {
      for (int k = 0; k < 3; ++k)
        AppendLittleEndian(out, static_cast<float>(t.coords[3 * static_cast<size_t>(node) + k]));
    }
    AppendLittleEndian(out, uint16_t{0});
  }
  return out;
}

std::string MeshToObj(const Mesh& mesh, const MeshWriteOptions& options) {
  std::string out = "# " + options.name + "\n";
  out.reserve(mesh.nodeCount() * 40 + mesh.elem.size() * 8);
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    out += "v";
    for (int k = 0; k < 3; ++k) {
      out += ' ';
      AppendNumber(out, mesh.coords[3 * n + k]);
    }
    out += '\n';
  }
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    out += "f";
    for (int32_t node : mesh.face(f)) {
      out += ' ';
      AppendInteger(out, int64_t{node} + 1);
    }
    out += '\n';
  }
  return out;
}

std::string MeshToOff(const Mesh& mesh, const MeshWriteOptions& options) {
  std::string out = "OFF\n# " + options.name + "\n";
  out.reserve(mesh.nodeCount() * 40 + mesh.elem.size() * 8);
  AppendInteger(out, static_cast<int64_t>(mesh.nodeCount()));
  out += ' ';
  AppendInteger(out, static_cast<int64_t>(mesh.faceCount()));
  out += " 0\n";
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    for (int k = 0; k < 3; ++k) {
      AppendNumber(out, mesh.coords[3 * n + k]);
      out += k < 2 ? ' ' : '\n';
    }
  }
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    AppendInteger(out, static_cast<int64_t>(nodes.size()));
    for (int32_t node : nodes) {
      out += ' ';
      AppendInteger(out, node);
    }
    out += '\n';
  }
  return out;
}

std::string MeshToPly(const Mesh& mesh, const MeshWriteOptions& options) {
  size_t largestFace = 0;
  for (size_t f = 0; f < mesh.faceCount(); ++f)
    largestFace = std::max(largestFace, mesh.face(f).size());
  const bool smallFaces = largestFace <= 255;
  std::string out = "ply\nformat ";
  out += options.text ? "ascii" : "binary_little_endian";
  out += " 1.0\ncomment " + options.name + "\nelement vertex ";
  AppendInteger(out, static_cast<int64_t>(mesh.nodeCount()));
  out += "\nproperty double x\nproperty double y\nproperty double z\nelement face ";
  AppendInteger(out, static_cast<int64_t>(mesh.faceCount()));
  out += smallFaces ? "\nproperty list uchar int vertex_indices\n"
                    : "\nproperty list uint int vertex_indices\n";
  out += "end_header\n";
  for (size_t n = 0; n < mesh.nodeCount(); ++n) {
    for (int k = 0; k < 3; ++k) {
      const double x = mesh.coords[3 * n + k];
      if (options.text) {
        AppendNumber(out, x);
        out += k < 2 ? ' ' : '\n';
      } else {
        AppendLittleEndian(out, x);
      }
    }
  }
  for (size_t f = 0; f < mesh.faceCount(); ++f) {
    const auto nodes = mesh.face(f);
    if (options.text) {
      AppendInteger(out, static_cast<int64_t>(nodes.size()));
      for (int32_t node : nodes) {
        out += ' ';
        AppendInteger(out, node);
      }
      out += '\n';
    } else {
      if (smallFaces) {
        AppendLittleEndian(out, static_cast<uint8_t>(nodes.size()));
      } else {
        AppendLittleEndian(out, static_cast<uint32_t>(nodes.size()));
      }
      for (int32_t node : nodes)
        AppendLittleEndian(out, node);
    }
  }
  return out;
}

void WriteMeshFile(const Mesh& mesh, const std::string& path, const MeshWriteOptions& options) {
  const auto format = FormatFromExtension(path);
  if (!format) {
    throw std::runtime_error(path +
                             ": cannot tell the format to write: use a .stl, .obj, "
                             ".off or .ply file name");
  }
  switch (*format) {
    case MeshFormat::kStl:
      return WriteFileBytes(path, MeshToStl(mesh, options));
    case MeshFormat::kObj:
      return WriteFileBytes(path, MeshToObj(mesh, options));
    case MeshFormat::kOff:
      return WriteFileBytes(path, MeshToOff(mesh, options));
    case MeshFormat::kPly:
      return WriteFileBytes(path, MeshToPly(mesh, options));
    case MeshFormat::k3mf:
    case MeshFormat::kAmf:
      break;
  }
  throw std::runtime_error(path +
                           ": the program reads 3MF and AMF packages but does not write them: use "
                           "a .stl, .obj, .off or .ply file name");
}

}  // namespace vexmor::cli
