#include "analysis/library_calls.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "analysis/freed_memory.h"
#include "analysis/gradient_missing.h"
#include "analysis/progress.h"
#include "analysis/quiet_stdout.h"
#include "report/report.h"
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

std::string Plural(size_t n, const std::string& one, const std::string& many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// What the progress display shows while a call runs: the analysis and the size of its work.
std::string Label(const std::string& analysis, const Mesh& mesh) {
  return analysis + " of " + FormatCount(mesh.faceCount()) + " faces";
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i)
    out += (i ? separator : "") + parts[i];
  return out;
}

}  // namespace

Analysis AnalysisOf(ThicknessMethod method) {
  switch (method) {
    case ThicknessMethod::kSphere:
      return Analysis::kSphere;
    case ThicknessMethod::kContact:
      return Analysis::kContact;
    default:
      return Analysis::kRay;
  }
}

const char* AnalysisName(Analysis analysis) {
  switch (analysis) {
    case Analysis::kRay:
      return "ray";
    case Analysis::kContact:
      return "contact";
    case Analysis::kGradient:
      return "gradient";
    case Analysis::kSphere:
      return "sphere";
    case Analysis::kDraft:
      return "draft";
    case Analysis::kDihedral:
      return "dihedral";
  }
  return "";
}

bool TakesQuadrilaterals(Analysis analysis) {
  return analysis == Analysis::kRay || analysis == Analysis::kContact ||
         analysis == Analysis::kGradient;
}

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
  if (mesh.nodeCount() == 0) throw CommandError(kExitBadInput, what + " has no nodes");
  // One node is one point too (merging repeated nodes can leave a single one).
  if (!(NodeBox(mesh).largestExtent() > 0)) {
    throw CommandError(kExitBadInput,
                       what + ": all nodes lie at one point, so the part has no size");
  }
}

Library::Library(const Mesh& mesh, const MeshReport& report, bool diagnosticsToStderr)
    : mesh_(mesh), report_(report), toStderr_(diagnosticsToStderr) {
  reasons_ = RejectionReasons(report);
  if (report.quadrilaterals + report.polygons == 0) return;
  triangulation_ = Triangulate(mesh);
  // A diagonal of the split that runs along an edge of the mesh makes that edge non-manifold:
  // the library would then refuse the split mesh (it splits quadrilaterals the same way).
  const MeshReport split = InspectMesh(triangulation_.mesh);
  if (split.nonManifoldEdges > report.nonManifoldEdges) {
    const size_t added = split.nonManifoldEdges - report.nonManifoldEdges;
    reasons_.push_back("splitting its faces into triangles makes " +
                       Plural(added, "edge", "edges") +
                       " shared by more than two faces: a diagonal runs along an edge");
  }
}

bool Library::splits(Analysis analysis) const {
  if (report_.polygons > 0) return true;
  return report_.quadrilaterals > 0 &&
         (!TakesQuadrilaterals(analysis) || triangulation_.quadsOtherDiagonal > 0);
}

void Library::refuseRejected(const std::string& analysis) const {
  if (reasons_.empty()) return;
  throw CommandError(kExitRejected, "the mesh is rejected for " + analysis + ": " +
                                        Join(reasons_, "; ") +
                                        " (only thickness --method distance runs on such a mesh)");
}

void Library::check(int status, const std::string& analysis) const {
  switch (status) {
    case VX_STATUS_OK:
      return;
    case VX_STATUS_ANALYSIS_FAILED:
      throw CommandError(kExitAnalysisFailed,
                         "the " + analysis + " analysis failed on this mesh (library status 1)");
    case VX_STATUS_MESH_REJECTED:
      throw CommandError(kExitRejected,
                         "the mesh was rejected for the " + analysis + " analysis: " +
                             (reasons_.empty() ? std::string("the library's mesh check refused it")
                                               : Join(reasons_, "; ")));
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

const Library::DraftCall& Library::draftCall(const Vec3& pull, const std::string& label) const {
  return drafts_.get(pull, [&] {
    const Mesh& m = meshFor(Analysis::kDraft);
    DraftCall call{0, std::vector<double>(m.faceCount())};
    Progress progress(Label(label, m));
    ReturnFreedMemory();
    QuietStdout quiet(toStderr_);
    call.status = VX_Draft_Angle(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                                 m.coords.data(), call.values.data(), pull.data());
    return call;
  });
}

int Library::trialStatus() const {
  if (mesh_.nodeCount() < 2 || !(NodeBox(mesh_).largestExtent() > 0)) return -1;
  return draftCall(Vec3{0, 0, 1}, "mesh check").status;
}

std::vector<double> Library::draftCosines(const Vec3& pull) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("draft");
  const DraftCall& call = draftCall(pull, "draft");
  check(call.status, "draft");
  // A split face takes the area-weighted mean of its triangles (they agree when it is flat).
  return splits(Analysis::kDraft) ? FoldAreaWeightedMean(triangulation_, call.values) : call.values;
}

std::vector<double> Library::faceThickness(ThicknessMethod method, bool outside) const {
  return thicknesses_.get({method, outside}, [&] { return computeFaceThickness(method, outside); });
}

std::vector<double> Library::computeFaceThickness(ThicknessMethod method, bool outside) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("thickness");
  const Analysis analysis = AnalysisOf(method);
  const std::vector<double> values = thicknessOf(meshFor(analysis), method, outside);
  // A split face takes the smallest value of its triangles, as the library does for the
  // quadrilaterals it splits.
  return splits(analysis) ? FoldMinimum(triangulation_, values) : values;
}

const Mesh& Library::triangles() const {
  return report_.quadrilaterals + report_.polygons > 0 ? triangulation_.mesh : mesh_;
}

size_t Library::faceOfTriangle(size_t triangle) const {
  return report_.quadrilaterals + report_.polygons > 0 ? triangulation_.triangleFace[triangle]
                                                       : triangle;
}

std::vector<double> Library::thicknessOf(const Mesh& m, ThicknessMethod method, bool outside,
                                         const std::string& what) const {
  const uint8_t out = outside ? 1 : 0;
  std::vector<double> values(m.faceCount());
  int status;
  {
    // The careful methods can take minutes on a large, thick part; the hint shows after ten
    // seconds.
    Progress progress(Label(std::string("thickness (") + MethodName(method) + ")" + what, m),
                      method == ThicknessMethod::kRay ? "" : "--method ray is the fast one");
    ReturnFreedMemory();
    QuietStdout quiet(toStderr_);
    const auto nodes = Size32(m.nodeCount()), entries = Size32(m.elem.size());
    switch (method) {
      case ThicknessMethod::kSphere:
        // The flag only marks the last 12 faces as the walls of an enclosing box and negates
        // the radii found against them: the caller appends that box itself.
        status = VX_Thickness_Computation_LSR(nodes, entries, m.elem.data(), m.coords.data(),
                                              values.data(), out);
        break;
      case ThicknessMethod::kContact:
        status = VX_Thickness_Computation_LSCP(nodes, entries, m.elem.data(), m.coords.data(),
                                               values.data(), out);
        break;
      default:
        status = VX_Thickness_RayTracing(nodes, entries, m.elem.data(), m.coords.data(),
                                         values.data(), out);
        break;
    }
  }
  check(status, std::string(MethodName(method)) + " thickness");
  if (method == ThicknessMethod::kSphere) {
    // The library gives the radius in its frame; the program shows the diameter in file units.
    const double toFile = 2 * FrameToFile(m);
    for (double& v : values)
      v *= toFile;
  }
  return values;
}

std::vector<double> Library::nodeDistances(const Mesh& withPoints) const {
  CheckLibraryCanTake(withPoints, "the mesh with its query points");
  std::vector<double> values(withPoints.nodeCount());
  int status;
  {
    Progress progress(Label("thickness (distance)", withPoints));
    ReturnFreedMemory();
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

bool Library::SameValues::operator==(const SameValues& other) const {
  return values.size() == other.values.size() &&
         (values.empty() ||
          std::memcmp(values.data(), other.values.data(), values.size() * sizeof(double)) == 0);
}

std::vector<double> Library::gradient(const std::vector<double>& faceThickness) const {
  return gradients_.get(SameValues{faceThickness}, [&] { return computeGradient(faceThickness); });
}

std::vector<double> Library::computeGradient(const std::vector<double>& faceThickness) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("the thickness gradient");
  const bool missing = std::any_of(faceThickness.begin(), faceThickness.end(),
                                   [](double t) { return std::isnan(t); });
  // Faces without thickness are taken out of their neighbours' means on the triangles that the
  // library compares, so a mesh with quadrilaterals is split by the program then too.
  const bool split = splits(Analysis::kGradient) || (missing && report_.quadrilaterals > 0);
  const Mesh& m = split ? triangulation_.mesh : mesh_;
  // The triangles of a split face take its thickness; the face gets the mean of their
  // gradients, as the library does for the quadrilaterals it splits.
  std::vector<double> thickness =
      split ? ExpandToTriangles(triangulation_, faceThickness) : faceThickness;
  std::vector<uint8_t> without(thickness.size(), 0);
  for (size_t t = 0; t < thickness.size(); ++t) {
    if (!std::isnan(thickness[t])) continue;
    without[t] = 1;
    thickness[t] = 0;  // the library compares nothing with it; its neighbours see a change of 1
  }
  std::vector<double> values(m.faceCount());
  int status;
  {
    Progress progress(Label("gradient", m));
    ReturnFreedMemory();
    QuietStdout quiet(toStderr_);
    status = VX_Thickness_Gradient(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                                   m.coords.data(), thickness.data(), values.data());
  }
  check(status, "thickness gradient");
  if (missing) DiscountMissingNeighbours(m, without, values);
  return split ? FoldMean(triangulation_, values) : values;
}

EdgeAngles Library::edgeDihedral() const {
  return edgeAngles_.get(true, [&] { return computeEdgeDihedral(); });
}

EdgeAngles Library::computeEdgeDihedral() const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("dihedral angles");
  const Mesh& m = meshFor(Analysis::kDihedral);
  // Room for every distinct edge whatever the library's check lets through: the file's edges
  // and at most one more per diagonal that splitting its faces drew.
  size_t edges = report_.edges;
  if (&m != &mesh_) {
    for (size_t f = 0; f < mesh_.faceCount(); ++f)
      edges += std::max<size_t>(mesh_.face(f).size(), 3) - 3;
  }
  const size_t capacity = std::max(edges, m.elem.size() * 3 / 8) + 1;
  EdgeAngles result;
  result.nodes.resize(2 * capacity);
  result.degrees.resize(capacity);
  uint32_t count = 0;
  int status;
  {
    Progress progress(Label("dihedral angles", m));
    ReturnFreedMemory();
    QuietStdout quiet(toStderr_);
    status = VX_Edge_Diedral_Angle(Size32(m.nodeCount()), Size32(m.elem.size()), m.elem.data(),
                                   m.coords.data(), &count, result.nodes.data(),
                                   result.degrees.data(), 1);
  }
  check(status, "dihedral angle");
  count = std::min<uint32_t>(count, static_cast<uint32_t>(capacity));
  result.nodes.resize(2 * static_cast<size_t>(count));
  result.degrees.resize(count);
  if (splits(Analysis::kDihedral)) DropSplitDiagonals(mesh_, result.nodes, result.degrees);
  return result;
}

std::vector<double> Library::nodeDihedral(bool signedAngles) const {
  CheckLibraryCanTake(mesh_, "the mesh");
  refuseRejected("dihedral angles");
  const Mesh& m = meshFor(Analysis::kDihedral);
  std::vector<double> values(m.nodeCount());
  int status;
  {
    Progress progress(Label("dihedral angles per node", m));
    ReturnFreedMemory();
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
