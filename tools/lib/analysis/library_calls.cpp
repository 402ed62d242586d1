#include "analysis/library_calls.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/progress.h"
#include "analysis/quiet_stdout.h"
#include "mesh/edge_table.h"
#include "vexmor.h"

namespace vexmor::cli {
namespace {

constexpr double kFrameSize = 10000;  // the normalised frame's largest extent
constexpr double kNoValue = std::numeric_limits<double>::quiet_NaN();

int32_t Size32(size_t n) {
  return static_cast<int32_t>(n);
}

// Converts values from the library's normalised frame into the file's units.
double FrameToFile(const Mesh& mesh) {
  return NodeBox(mesh).largestExtent() / kFrameSize;
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i)
    out += (i ? separator : "") + parts[i];
  return out;
}

}  // namespace

const char* MethodName(ThicknessMethod method) {
  switch (method) {
    case ThicknessMethod::kRay:
      return "ray";
    case ThicknessMethod::kSphere:
      return "sphere";
    case ThicknessMethod::kContact:
      return "contact";
    case ThicknessMethod::kDistance:
      return "distance";
  }
  return "";
}

const char* MethodDescription(ThicknessMethod method) {
  switch (method) {
    case ThicknessMethod::kRay:
      return "ray tracing";
    case ThicknessMethod::kSphere:
      return "rolled sphere diameter";
    case ThicknessMethod::kContact:
      return "sphere contact distance";
    case ThicknessMethod::kDistance:
      return "distance to the surface";
  }
  return "";
}

void CheckLibraryCanTake(const Mesh& mesh, const std::string& what) {
  if (mesh.nodeCount() < 2) {
    throw CommandError(kExitBadInput, what + " has " + std::to_string(mesh.nodeCount()) +
                                          " node(s); the analyses need at least 2");
  }
  if (!(NodeBox(mesh).largestExtent() > 0)) {
    throw CommandError(kExitBadInput,
                       what + ": all nodes lie at one point, so the part has no size");
  }
}

Library::Library(const Mesh& mesh, const MeshReport& report, bool diagnosticsToStderr)
    : mesh_(mesh), report_(report), toStderr_(diagnosticsToStderr) {
  split_ = report.quadrilaterals > 0 && report.polygons == 0;
  if (split_) triangulation_ = Triangulate(mesh);
}

void Library::refuseRejected(const std::string& analysis) const {
  const auto reasons = RejectionReasons(report_);
  if (reasons.empty()) return;
  throw CommandError(kExitRejected,
                     "the mesh cannot be analysed for " + analysis + ": " + Join(reasons, "; "));
}

void Library::check(int status, const std::string& analysis) const {
  switch (status) {
    case VX_STATUS_OK:
      return;
    case VX_STATUS_ANALYSIS_FAILED:
      throw CommandError(kExitAnalysisFailed,
                         "the " + analysis + " analysis failed on this mesh (library status 1)");
    case VX_STATUS_MESH_REJECTED: {
      const auto reasons = RejectionReasons(report_);
      throw CommandError(kExitRejected,
                         "the mesh was rejected for the " + analysis + " analysis: " +
                             (reasons.empty() ? std::string("the library's mesh check refused it")
                                              : Join(reasons, "; ")));
    }
    case VX_STATUS_INVALID_INPUT:
      throw CommandError(kExitBadInput, "the library cannot take this mesh for the " + analysis +
                                            " analysis (invalid input: too few nodes, all "
                                            "nodes at one point, or a bad node number)");
    default:
      throw CommandError(
          kExitAnalysisFailed,
          "the " + analysis + " analysis returned an unknown status " + std::to_string(status));
  }
}

int Library::statusAsGiven() const {
  if (mesh_.nodeCount() < 2 || !(NodeBox(mesh_).largestExtent() > 0)) return -1;
  std::vector<double> values(mesh_.faceCount());
  const Vec3 pull{0, 0, 1};
  Progress progress("mesh check");
  QuietStdout quiet(toStderr_);
  return VX_Draft_Angle(Size32(mesh_.nodeCount()), Size32(mesh_.elem.size()), mesh_.elem.data(),
                        mesh_.coords.data(), values.data(), pull.data());
}

std::vector<double> Library::draftCosines(const Vec3& pull) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("draft");
  const Mesh& m = triangleMesh();
  std::vector<double> values(m.faceCount());
  int status;
  {
    Progress progress("draft");
    QuietStdout quiet(toStderr_);
    status = VX_Draft_Angle(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                            m.coords.data(), values.data(), pull.data());
  }
  check(status, "draft");
  if (!split_) return values;
  // A split face takes the area-weighted mean of its triangles (they agree when it is flat).
  std::vector<double> sum(mesh_.faceCount(), 0.0), area(mesh_.faceCount(), 0.0);
  for (size_t t = 0; t < values.size(); ++t) {
    const size_t f = triangulation_.triangleFace[t];
    const double a = FaceArea(m, t);
    sum[f] += a * values[t];
    area[f] += a;
  }
  std::vector<double> out(mesh_.faceCount());
  for (size_t f = 0; f < out.size(); ++f)
    out[f] = area[f] > 0 ? sum[f] / area[f] : kNoValue;
  // A face of zero area takes its first triangle's value.
  for (size_t t = values.size(); t-- > 0;) {
    const size_t f = triangulation_.triangleFace[t];
    if (!(area[f] > 0)) out[f] = values[t];
  }
  return out;
}

std::vector<double> Library::faceThickness(ThicknessMethod method, bool outside) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("thickness");
  const uint8_t out = outside ? 1 : 0;
  if (method == ThicknessMethod::kSphere) {
    const Mesh& m = triangleMesh();
    std::vector<double> radius(m.faceCount());
    int status;
    {
      Progress progress("thickness (sphere)");
      QuietStdout quiet(toStderr_);
      status = VX_Thickness_Computation_LSR(Size32(m.nodeCount()), Size32(m.elem.size()),
                                            m.elem.data(), m.coords.data(), radius.data(), out);
    }
    check(status, "sphere thickness");
    const double toFile = 2 * FrameToFile(m);  // a diameter, in file units
    if (!split_) {
      for (double& r : radius)
        r *= toFile;
      return radius;
    }
    // A split face takes the smaller of its triangles, as the library does for the others.
    std::vector<double> values(mesh_.faceCount(), std::numeric_limits<double>::infinity());
    for (size_t t = 0; t < radius.size(); ++t) {
      double& v = values[triangulation_.triangleFace[t]];
      v = std::min(v, radius[t] * toFile);
    }
    return values;
  }
  std::vector<double> values(mesh_.faceCount());
  int status;
  const Mesh& m = mesh_;
  {
    Progress progress(std::string("thickness (") + MethodName(method) + ")");
    QuietStdout quiet(toStderr_);
    if (method == ThicknessMethod::kRay) {
      status = VX_Thickness_RayTracing(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                                       m.coords.data(), values.data(), out);
    } else {
      status = VX_Thickness_Computation_LSCP(Size32(m.nodeCount()), Size32(m.elem.size()),
                                             m.elem.data(), m.coords.data(), values.data(), out);
    }
  }
  check(status, method == ThicknessMethod::kRay ? "ray thickness" : "contact thickness");
  return values;
}

std::vector<double> Library::nodeDistances(const Mesh& withPoints) const {
  CheckLibraryCanTake(withPoints, "the mesh with its query points");
  std::vector<double> values(withPoints.nodeCount());
  int status;
  {
    Progress progress("thickness (distance)");
    QuietStdout quiet(toStderr_);
    status = VX_Thickness_Computation_DN2S(Size32(withPoints.nodeCount()),
                                           Size32(withPoints.elem.size()), withPoints.elem.data(),
                                           withPoints.coords.data(), values.data(), 0);
  }
  check(status, "distance thickness");
  const double toFile = FrameToFile(withPoints);
  for (double& v : values)
    v *= toFile;
  return values;
}

std::vector<double> Library::gradient(const std::vector<double>& faceThickness) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("the thickness gradient");
  std::vector<double> values(mesh_.faceCount());
  int status;
  {
    Progress progress("gradient");
    QuietStdout quiet(toStderr_);
    status = VX_Thickness_Gradient(Size32(mesh_.nodeCount()), Size32(mesh_.elem.size()),
                                   mesh_.elem.data(), mesh_.coords.data(), faceThickness.data(),
                                   values.data());
  }
  check(status, "thickness gradient");
  return values;
}

EdgeAngles Library::edgeDihedral() const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("dihedral angles");
  const Mesh& m = triangleMesh();
  // Room for every distinct edge whatever the library's check lets through.
  EdgeTable edges(m.elem.size() / 2);
  for (size_t f = 0; f < m.faceCount(); ++f) {
    const auto nodes = m.face(f);
    for (size_t i = 0; i < nodes.size(); ++i)
      edges.insert(nodes[i], nodes[(i + 1) % nodes.size()]);
  }
  const size_t capacity = std::max(edges.size(), m.elem.size() * 3 / 8) + 1;
  EdgeAngles result;
  result.nodes.resize(2 * capacity);
  result.degrees.resize(capacity);
  uint32_t count = 0;
  int status;
  {
    Progress progress("dihedral angles");
    QuietStdout quiet(toStderr_);
    status = VX_Edge_Diedral_Angle(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                                   m.coords.data(), &count, result.nodes.data(),
                                   result.degrees.data(), 1);
  }
  check(status, "dihedral angle");
  count = std::min<uint32_t>(count, static_cast<uint32_t>(capacity));
  result.nodes.resize(2 * static_cast<size_t>(count));
  result.degrees.resize(count);
  if (!split_) return result;
  // The diagonals that split quadrilaterals are not edges of the file's faces.
  EdgeTable original(mesh_.elem.size() / 2);
  for (size_t f = 0; f < mesh_.faceCount(); ++f) {
    const auto nodes = mesh_.face(f);
    for (size_t i = 0; i < nodes.size(); ++i)
      original.insert(nodes[i], nodes[(i + 1) % nodes.size()]);
  }
  EdgeAngles kept;
  for (size_t e = 0; e < result.count(); ++e) {
    const int32_t a = result.nodes[2 * e], b = result.nodes[2 * e + 1];
    if (original.find(a, b) < 0) continue;
    kept.nodes.insert(kept.nodes.end(), {a, b});
    kept.degrees.push_back(result.degrees[e]);
  }
  return kept;
}

std::vector<double> Library::nodeDihedral(bool signedAngles) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("dihedral angles");
  const Mesh& m = triangleMesh();
  std::vector<double> values(m.nodeCount());
  int status;
  {
    Progress progress("dihedral angles per node");
    QuietStdout quiet(toStderr_);
    status = VX_Diedral_Angle(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                              m.coords.data(), values.data(), signedAngles ? 1 : 0);
  }
  check(status, "dihedral angle");
  std::vector<bool> used(m.nodeCount(), false);
  for (size_t f = 0; f < m.faceCount(); ++f) {
    for (int32_t n : m.face(f))
      used[static_cast<size_t>(n)] = true;
  }
  for (size_t n = 0; n < values.size(); ++n) {
    if (!used[n] || std::fabs(values[n]) > 1e300) {
      values[n] = kNoValue;
    } else if (signedAngles) {
      // The library signs nodes the other way round from edges (positive where concave edges
      // dominate); the program shows one convention: convex positive.
      values[n] = -values[n];
    }
  }
  return values;
}

}  // namespace vexmor::cli
