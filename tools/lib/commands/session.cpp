#include "commands/session.h"

#include <cstdio>
#include <iostream>

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
    report_.file = options.file;
  }
  report_.command = command;
  report_.format = loaded_.format;
  report_.notes = loaded_.notes;
  meshReport_ = InspectMesh(loaded_.mesh, &topology_);
  mergeEqualNodesIfOpen();
  library_ = std::make_unique<Library>(loaded_.mesh, meshReport_, options.verbose);
  report_.results.mesh = &loaded_.mesh;
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
  const MeshReport report = InspectMesh(merged, &topology);
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
}

const MeshDoubts& Session::doubts() {
  if (!doubts_) {
    Progress progress("looking for crossing faces among " + FormatCount(mesh().faceCount()) +
                      " faces");
    const bool triangles = meshReport_.quadrilaterals + meshReport_.polygons == 0;
    doubts_ = InspectDoubts(mesh(), triangles ? nullptr : &library_->triangulation(),
                            topology_.faceShell);
  }
  return *doubts_;
}

void Session::warnAboutDoubts() {
  for (const auto& warning : doubts().warnings())
    report_.warnings.push_back(warning);
}

const std::vector<double>& Session::areas() {
  if (areas_.size() != loaded_.mesh.faceCount()) areas_ = FaceAreas(loaded_.mesh);
  return areas_;
}

void Session::fail(const CommandError& error) {
  errors_.push_back(error.what());
  // Rejection (3) outranks bad input (2), which outranks an analysis failure (1).
  exitCode_ = std::max(exitCode_, error.exitCode());
}

int Session::finish() {
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
