// What every subcommand shares: loading the mesh (or the sample part), the report it fills,
// and finishing: writing the results file, printing the summary, choosing the exit status.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "analysis/call_memo.h"
#include "analysis/library_calls.h"
#include "commands/options.h"
#include "io/mesh_reader.h"
#include "mesh/edge_table.h"
#include "mesh/mesh_doubts.h"
#include "mesh/mesh_report.h"
#include "report/report.h"

namespace vexmor::cli {

class Session {
 public:
  // Throws CommandError (exit 2) when the file cannot be read.
  Session(const std::string& command, const CommonOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Starts work whose values the analyses will ask for (through memos such as the library's),
  // in the order given, on `threads` threads: this one and threads - 1 more. Returns once every
  // task has started, the last ones perhaps still running; finish() and the destructor wait
  // for them. A task's exceptions are dropped: the analysis that asks for the value meets them.
  void runAhead(std::vector<std::function<void()>> tasks, int threads);

  const Mesh& mesh() const { return loaded_.mesh; }
  // With --repair the mesh holds the file's faces (those kept) and then the faces that fill
  // holes: the analyses run on all of them and report on the file's own faces alone.
  size_t ownFaceCount() const { return ownFaces_; }
  bool repaired() const { return options_.repair; }
  // The values of the file's own faces only, for statistics.
  std::vector<double> ownFacesOf(const std::vector<double>& perFace) const;
  // Per-face values with NaN on the fill faces, for the results file.
  std::vector<double> withoutFill(std::vector<double> perFace) const;
  // Whether the edge a-b belongs to one of the file's own faces.
  bool isOwnEdge(int32_t a, int32_t b);
  const MeshReport& meshReport() const { return meshReport_; }
  const MeshTopology& topology() const { return topology_; }
  // What makes results on the mesh doubtful, found once (the crossing test takes a few
  // seconds on a million faces); safe to ask for from several threads.
  const MeshDoubts& doubts();
  // Puts the doubts at the top of the summary, for the analyses that show no mesh check.
  void warnAboutDoubts();
  const Library& library() const { return *library_; }
  const CommonOptions& options() const { return options_; }
  const TextStyle& style() const { return style_; }
  Report& report() { return report_; }
  // Face areas of the mesh, found with the mesh report.
  const std::vector<double>& areas() const { return areas_; }
  // A mesh that lives as long as the session, for results on a mesh other than the file's
  // (the mesh with query points appended).
  Mesh& extraMesh() { return extraMesh_; }

  // Records an error that ends one analysis; the worst exit status wins.
  void fail(const CommandError& error);

  // The length unit of the file's numbers ("mm", ...) and millimetres in one of it.
  const std::string& unit() const { return report_.unit; }
  double millimetresPerUnit() const { return millimetresPerUnit_; }
  // A process rule's length (in mm) in the file's unit; `given` (in the file's unit, from an
  // option) overrides it.
  std::optional<double> ruleLength(std::optional<double> given, std::optional<double> mm) const;
  // With --process: ends the section with its pass or fail line naming the failing faces by
  // count and area; a failure makes the exit status 4. `rules` says what was checked. Safe to
  // call from several threads.
  void judge(Section& section, const std::string& rules, const std::vector<bool>& failing);
  // Writes -o, prints the summary and errors; returns the exit status.
  int finish();

 private:
  // The unit of the file's numbers: --unit, the file's own, or millimetres.
  void chooseUnit();
  void waitForWorkAhead();
  // Merges nodes at equal positions when that closes (some of) an open surface.
  void mergeEqualNodesIfOpen();
  // --repair: merges close nodes, drops repeated and collapsed faces, fills small holes.
  void repairMesh();

  CommonOptions options_;
  LoadedMesh loaded_;
  MeshReport meshReport_;
  MeshTopology topology_;
  CallMemo<bool, MeshDoubts> doubts_;
  std::unique_ptr<Library> library_;
  TextStyle style_;
  Report report_;
  std::vector<double> areas_;
  size_t ownFaces_ = 0;
  std::optional<EdgeTable> ownEdges_;
  Mesh extraMesh_;
  std::vector<std::string> errors_;
  int exitCode_ = kExitOk;
  double millimetresPerUnit_ = 1;
  std::atomic<bool> partFails_ = false;  // set by judge, on whichever thread builds a section
  std::vector<std::thread> workAhead_;
};

// Prints "vexmor: error: ..." on standard error.
void PrintError(const std::string& message);

}  // namespace vexmor::cli
