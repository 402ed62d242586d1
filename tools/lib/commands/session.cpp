#include "commands/session.h"

#include <atomic>
#include <cstdio>
#include <iostream>
#include <limits>

#include "analysis/progress.h"
#include "io/read_error.h"
#include "io/results_writer.h"
#include "io/vertex_welder.h"
#include "mesh/sample_part.h"

namespace vexmor::cli {

void PrintError(const std::string& message) {
  std::fflush(stdout);
  std::fprintf(stderr, "vexmor: error: %s\n", message.c_str());
}

Session::Session(const std::string& command, const CommonOptions& options)
    : options_(options), style_(StyleForStdout()) {
  if (options.file.empty()) {
    loaded_.mesh = SamplePart();
    loaded_.format = "the bundled sample part: a moulded tray, in millimetres";
    report_.file = "sample tray";
  } else {
    try {
      Progress progress("reading " + options.file);
      loaded_ = ReadMeshFile(options.file);
    } catch (const ReadError& e) {
      throw CommandError(kExitBadInput, e.what());
    }
    if (loaded_.mesh.faceCount() == 0) {
      throw CommandError(kExitBadInput, options.file + ": no faces (" +
                                            FormatCount(loaded_.mesh.nodeCount()) +
                                            " nodes): nothing to analyse");
    }
    report_.file = options.file;
  }
  report_.command = command;
  report_.format = loaded_.format;
  chooseUnit();
  report_.notes = loaded_.notes;
  meshReport_ = InspectMesh(loaded_.mesh, &topology_, &areas_);
  if (options.repair) {
    repairMesh();
  } else {
    mergeEqualNodesIfOpen();
  }
  ownFaces_ = options.repair ? ownFaces_ : loaded_.mesh.faceCount();
  library_ = std::make_unique<Library>(loaded_.mesh, meshReport_, options.verbose);
  report_.results.mesh = &loaded_.mesh;
}

Session::~Session() {
  waitForWorkAhead();
}

void Session::runAhead(std::vector<std::function<void()>> tasks, int threads) {
  struct Queue {
    std::vector<std::function<void()>> tasks;
    std::atomic<size_t> next{0};
    void work() {
      for (size_t i = next++; i < tasks.size(); i = next++) {
        try {
          tasks[i]();
        } catch (...) {
        }
      }
    }
  };
  auto queue = std::make_shared<Queue>();
  queue->tasks = std::move(tasks);
  const size_t more =
      std::min<size_t>(static_cast<size_t>(std::max(threads, 1)) - 1, queue->tasks.size());
  for (size_t t = 0; t < more; ++t)
    workAhead_.emplace_back([queue] { queue->work(); });
  queue->work();
}

void Session::waitForWorkAhead() {
  for (auto& worker : workAhead_)
    worker.join();
  workAhead_.clear();
}

void Session::chooseUnit() {
  if (!options_.unit.empty()) {
    report_.unit = options_.unit;
    report_.unitSource = "as --unit says";
    if (!loaded_.unit.empty() && loaded_.unit != options_.unit) {
      report_.notes.push_back("the file gives its lengths in " + UnitName(loaded_.unit) +
                              "; --unit " + options_.unit + " overrides that");
    }
  } else if (!loaded_.unit.empty()) {
    report_.unit = loaded_.unit;
    report_.unitSource = "the file's own unit";
  } else if (options_.file.empty()) {
    report_.unit = "mm";
    report_.unitSource = "the sample part's";
  } else {
    report_.unit = "mm";
    report_.unitSource = "assumed: the file names no unit (--unit sets it)";
  }
  millimetresPerUnit_ = MillimetresPer(report_.unit);
  if (options_.process != nullptr) {
    report_.notes.push_back(std::string("checked against the rules of ") +
                            std::string(options_.process->title) + " (--process " +
                            std::string(options_.process->name) + ")");
  }
}

std::optional<double> Session::ruleLength(std::optional<double> given,
                                          std::optional<double> mm) const {
  if (given || !mm || options_.process == nullptr) return given;
  return *mm / millimetresPerUnit_;
}

void Session::judge(Section& section, const std::string& rules, const std::vector<bool>& failing) {
  if (options_.process == nullptr) return;
  const auto& area = areas();
  size_t count = 0;
  double failed = 0, total = 0;
  for (size_t f = 0; f < area.size() && f < ownFaces_; ++f) {
    total += area[f];
    if (f < failing.size() && failing[f]) {
      ++count;
      failed += area[f];
    }
  }
  const std::string process(options_.process->title);
  if (count == 0) {
    section.lines.push_back("PASS " + process + ": " + rules);
  } else {
    partFails_ = true;
    section.lines.push_back(
        "FAIL " + process + ": " + FormatCount(count) + (count == 1 ? " face, " : " faces, ") +
        FormatValue(failed) + " " + report_.unit + (style_.utf8 ? "\u00b2" : "^2") + " (" +
        FormatPercent(total > 0 ? failed / total : 0) + " of the area), break the rule: " + rules);
  }
  section.json["verdict"] = {{"process", options_.process->name},
                             {"pass", count == 0},
                             {"rule", rules},
                             {"failing_faces", count},
                             {"failing_area", failed},
                             {"failing_area_share", total > 0 ? failed / total : 0}};
}

void Session::mergeEqualNodesIfOpen() {
  // Some exporters repeat a node for every face around it (to give each face its own normal):
  // the faces then share no node and the surface reads as open. Merging the nodes at exactly
  // equal positions closes it; it is kept only when it leaves fewer faulty edges, so that
  // parts that merely touch stay apart.
  if (meshReport_.boundaryEdges == 0) return;
  Mesh merged = MergeEqualNodes(loaded_.mesh);
  if (merged.nodeCount() == loaded_.mesh.nodeCount()) return;
  MeshTopology topology;
  std::vector<double> areas;
  const MeshReport report = InspectMesh(merged, &topology, &areas);
  if (report.boundaryEdges + report.nonManifoldEdges >=
      meshReport_.boundaryEdges + meshReport_.nonManifoldEdges) {
    return;
  }
  const size_t removed = loaded_.mesh.nodeCount() - merged.nodeCount();
  report_.notes.push_back("merged " + FormatCount(removed) + (removed == 1 ? " node" : " nodes") +
                          " repeating the position of another, which left the surface open (" +
                          FormatCount(meshReport_.boundaryEdges) + " open edges before, " +
                          FormatCount(report.boundaryEdges) +
                          " after); node numbers are those "
                          "of the merged mesh");
  loaded_.mesh = std::move(merged);
  meshReport_ = report;
  topology_ = std::move(topology);
  areas_ = std::move(areas);
}

void Session::repairMesh() {
  MeshRepair r;
  {
    Progress progress("mending " + FormatCount(loaded_.mesh.faceCount()) + " faces");
    r = RepairMesh(loaded_.mesh, options_.repairOptions);
  }
  auto count = [](size_t n, const char* one, const char* many) {
    return FormatCount(n) + " " + (n == 1 ? one : many);
  };
  std::string line = "merged " + count(r.mergedNodes, "node", "nodes") + ", dropped " +
                     FormatCount(r.duplicateFaces) + " duplicate and " +
                     count(r.zeroAreaFaces, "zero-area face", "zero-area faces") + ", filled " +
                     count(r.filledHoles, "hole", "holes") + " with " +
                     count(r.fillFaces, "face", "faces");
  if (r.holesLeftOpen() > 0) {
    line += "; left " + count(r.holesLeftOpen(), "hole", "holes") + " open (" +
            FormatCount(r.holesTooLong) + " longer than " +
            FormatCount(options_.repairOptions.maxHoleEdges) + " edges, " +
            FormatCount(r.holesUnfillable) + " not closable in their plane without folding)";
  }
  report_.repair = line;
  const std::string tolerance = FormatValue(r.tolerance) + " " + report_.unit;
  report_.notes.push_back(
      "repair merged nodes closer than " + tolerance +
      (r.defaultTolerance ? " (a millionth of the node box diagonal; --merge-tolerance sets it)"
                          : " (--merge-tolerance)") +
      " and filled holes of up to " + FormatCount(options_.repairOptions.maxHoleEdges) +
      " edges (--max-hole-edges); node and face numbers are those of the mended mesh, whose " +
      "fill faces come after the file's, are left out of every result, and are marked " +
      "repair_fill in -o files");
  report_.repairJson = {{"merge_tolerance", r.tolerance},
                        {"merge_tolerance_default", r.defaultTolerance},
                        {"max_hole_edges", options_.repairOptions.maxHoleEdges},
                        {"merged_nodes", r.mergedNodes},
                        {"duplicate_faces", r.duplicateFaces},
                        {"zero_area_faces", r.zeroAreaFaces},
                        {"filled_holes", r.filledHoles},
                        {"fill_faces", r.fillFaces},
                        {"holes_too_long", r.holesTooLong},
                        {"holes_unfillable", r.holesUnfillable}};
  if (r.ownFaces == 0) {
    throw CommandError(kExitBadInput,
                       options_.file + ": no faces left after the repair (" + line + ")");
  }
  ownFaces_ = r.ownFaces;
  loaded_.mesh = std::move(r.mesh);
  meshReport_ = InspectMesh(loaded_.mesh, &topology_, &areas_);
}

std::vector<double> Session::ownFacesOf(const std::vector<double>& perFace) const {
  return {perFace.begin(),
          perFace.begin() + static_cast<ptrdiff_t>(std::min(perFace.size(), ownFaces_))};
}

std::vector<double> Session::withoutFill(std::vector<double> perFace) const {
  for (size_t f = ownFaces_; f < perFace.size(); ++f)
    perFace[f] = std::numeric_limits<double>::quiet_NaN();
  return perFace;
}

bool Session::isOwnEdge(int32_t a, int32_t b) {
  if (!ownEdges_) {
    ownEdges_.emplace(loaded_.mesh.closedEdgeCount());
    for (size_t f = 0; f < ownFaces_; ++f) {
      const auto nodes = loaded_.mesh.face(f);
      for (size_t i = 0; i < nodes.size(); ++i)
        ownEdges_->insert(nodes[i], nodes[(i + 1) % nodes.size()]);
    }
  }
  return ownEdges_->find(a, b) >= 0;
}

const MeshDoubts& Session::doubts() {
  return doubts_.get(true, [&] {
    Progress progress("looking for crossing faces among " + FormatCount(mesh().faceCount()) +
                      " faces");
    const bool triangles = meshReport_.quadrilaterals + meshReport_.polygons == 0;
    return InspectDoubts(mesh(), triangles ? nullptr : &library_->triangulation(),
                         topology_.faceShell, &areas_);
  });
}

void Session::warnAboutDoubts() {
  for (const auto& warning : doubts().warnings())
    report_.warnings.push_back(warning);
}

void Session::fail(const CommandError& error) {
  errors_.push_back(error.what());
  // Rejection (3) outranks bad input (2), which outranks an analysis failure (1).
  exitCode_ = std::max(exitCode_, error.exitCode());
}

int Session::finish() {
  // A task started ahead may still hold standard output away from the terminal (QuietStdout).
  waitForWorkAhead();
  // A part that breaks a rule exits 4, unless the run failed worse (a bad input, a rejection).
  if (partFails_ && exitCode_ <= kExitAnalysisFailed) exitCode_ = kExitPartFails;
  if (options_.repair && !report_.results.fields.empty() && report_.results.mesh == &loaded_.mesh) {
    std::vector<double> fill(loaded_.mesh.faceCount(), 0.0);
    std::fill(fill.begin() + static_cast<ptrdiff_t>(ownFaces_), fill.end(), 1.0);
    report_.results.fields.push_back({"repair_fill", Location::kFace, std::move(fill)});
  }
  if (!options_.output.empty()) {
    if (report_.results.fields.empty()) {
      errors_.push_back("no values to write to " + options_.output);
      exitCode_ = std::max<int>(exitCode_, kExitAnalysisFailed);
    } else {
      try {
        WriteResultsFile(report_.results, options_.output);
        report_.notes.push_back("values written to " + options_.output);
      } catch (const std::exception& e) {
        errors_.push_back(e.what());
        exitCode_ = std::max<int>(exitCode_, kExitBadInput);
      }
    }
  }
  if (options_.capture != nullptr) {
    *options_.capture = RenderJson(report_, exitCode_, errors_);
    (*options_.capture)["faces"] = ownFaces_;
    return exitCode_;
  }
  if (options_.json) {
    std::cout << RenderJson(report_, exitCode_, errors_).dump(2) << std::endl;
  } else {
    std::cout << RenderText(report_, style_) << std::flush;
  }
  for (const auto& error : errors_)
    PrintError(error);
  return exitCode_;
}

}  // namespace vexmor::cli
