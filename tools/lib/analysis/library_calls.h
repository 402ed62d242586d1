// The program's side of the eight library functions: each call gets the mesh in the form the
// function takes, keeps the library's diagnostics off standard output, shows progress, turns
// a status into a clear error and returns values in the file's units.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "analysis/call_memo.h"
#include "mesh/mesh.h"
#include "mesh/mesh_report.h"
#include "mesh/triangulation.h"

namespace vexmor::cli {

// Exit statuses of the program, documented in its --help.
enum ExitCode : int {
  kExitOk = 0,
  kExitAnalysisFailed = 1,
  kExitBadInput = 2,  // unreadable file, bad usage, or input the library cannot take
  kExitRejected = 3,  // the mesh is open or non-manifold
};

// An error that ends the program (or, in `analyze`, one analysis) with the given exit code.
class CommandError : public std::runtime_error {
 public:
  CommandError(int exitCode, const std::string& message)
      : std::runtime_error(message), exitCode_(exitCode) {}
  int exitCode() const { return exitCode_; }

 private:
  int exitCode_;
};

enum class ThicknessMethod { kRay, kSphere, kContact, kDistance };
const char* MethodName(ThicknessMethod method);         // "ray", ...
const char* MethodDescription(ThicknessMethod method);  // "ray tracing", ...

// The analyses that run the library's mesh check. Every one takes triangles; some also take
// quadrilaterals as they are. For the others, and whenever the mesh has faces of five or more
// nodes, the program splits the faces into triangles itself and folds the results back.
enum class Analysis { kRay, kContact, kGradient, kSphere, kDraft, kDihedral };
Analysis AnalysisOf(ThicknessMethod method);  // a face method: not kDistance
const char* AnalysisName(Analysis analysis);  // "ray", "contact", ..., "dihedral"
bool TakesQuadrilaterals(Analysis analysis);

struct EdgeAngles {
  std::vector<int32_t> nodes;   // two per edge
  std::vector<double> degrees;  // signed: convex edges positive, concave negative
  size_t count() const { return degrees.size(); }
};

// Safe to use from several threads at once: the library is re-entrant, and each call made
// through draftCosines, faceThickness, gradient and edgeDihedral runs once per arguments, so
// that values started ahead on other threads are taken rather than computed again.
class Library {
 public:
  // `mesh` and `report` (InspectMesh of it) must outlive the object.
  Library(const Mesh& mesh, const MeshReport& report, bool diagnosticsToStderr);

  // Cosine between each face's outward normal and the pull direction.
  std::vector<double> draftCosines(const Vec3& pull) const;
  // Thickness per face in file units by a face method (ray, sphere diameter, contact).
  std::vector<double> faceThickness(ThicknessMethod method, bool outside) const;
  // The same on any mesh that the method takes, per face of that mesh, without checks or
  // folding: for meshes the program derives from this one (refined, boxed). `what` follows
  // the method's name in the progress display. With the sphere method, `outside` marks the
  // last 12 faces as an enclosing box and negates the values found against them.
  std::vector<double> thicknessOf(const Mesh& mesh, ThicknessMethod method, bool outside,
                                  const std::string& what = "") const;
  // The mesh as triangles (split the way every analysis gets it when it has other faces), and
  // the face of the mesh that each of its triangles comes from.
  const Mesh& triangles() const;
  size_t faceOfTriangle(size_t triangle) const;
  // Distance to the surface of every node of `withPoints` (this mesh with query points
  // appended as nodes), in file units.
  std::vector<double> nodeDistances(const Mesh& withPoints) const;
  std::vector<double> gradient(const std::vector<double>& faceThickness) const;
  // The file's edges only: the diagonals of split faces are left out.
  EdgeAngles edgeDihedral() const;
  // Largest dihedral angle at each node, over the edges of the triangles the library sees;
  // signed: positive where convex edges dominate. NaN for nodes that no face uses.
  std::vector<double> nodeDihedral(bool signedAngles) const;

  // One sentence per reason for which every analysis but the distance method refuses the
  // mesh; empty when they all run.
  const std::vector<std::string>& rejectionReasons() const { return reasons_; }
  // The library's mesh check on the mesh as the triangle-only analyses get it (split when it
  // has other faces): the status of a draft call, which costs little more than the check.
  // -1 when the mesh cannot be passed at all.
  int trialStatus() const;

  // The library would reject a mesh that is open or non-manifold: the program says so before
  // calling it (and, on a large mesh, before waiting). Throws CommandError.
  void refuseRejected(const std::string& analysis) const;

  // True when the program splits the faces into triangles before calling the library for
  // the analysis: when the library does not take some of them, or would split a
  // quadrilateral differently (along its other diagonal, see Triangulate).
  bool splits(Analysis analysis) const;
  // How the faces were split (see Triangulate).
  const Triangulation& triangulation() const { return triangulation_; }

 private:
  // The mesh handed to the library for an analysis.
  const Mesh& meshFor(Analysis analysis) const {
    return splits(analysis) ? triangulation_.mesh : mesh_;
  }
  void check(int status, const std::string& analysis) const;

  const Mesh& mesh_;
  const MeshReport& report_;
  bool toStderr_;
  Triangulation triangulation_;  // when the mesh has faces other than triangles

  // A draft call, kept because one call serves both the check's verdict and a draft along the
  // same pull (analyze asks for both along +z), and on a large mesh each call spends seconds
  // checking it.
  struct DraftCall {
    int status;
    std::vector<double> values;  // per face of meshFor(Analysis::kDraft)
  };
  const DraftCall& draftCall(const Vec3& pull, const std::string& label) const;
  std::vector<double> computeFaceThickness(ThicknessMethod method, bool outside) const;
  std::vector<double> computeGradient(const std::vector<double>& faceThickness) const;
  EdgeAngles computeEdgeDihedral() const;

  // A thickness compared bit for bit, so that NaN (no wall) equals NaN.
  struct SameValues {
    std::vector<double> values;
    bool operator==(const SameValues& other) const;
  };
  mutable CallMemo<Vec3, DraftCall> drafts_;
  mutable CallMemo<std::pair<ThicknessMethod, bool>, std::vector<double>> thicknesses_;
  mutable CallMemo<SameValues, std::vector<double>> gradients_;
  mutable CallMemo<bool, EdgeAngles> edgeAngles_;
  std::vector<std::string> reasons_;
};

// Fails with a clear message when the library could not take the mesh at all (it would
// answer "invalid input"): fewer than two nodes or all of them at one point.
void CheckLibraryCanTake(const Mesh& mesh, const std::string& what);

}  // namespace vexmor::cli
