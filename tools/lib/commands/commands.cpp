#include "commands/commands.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <nlohmann/json.hpp>

#include "analysis/call_memo.h"
#include "commands/sections.h"
#include "io/mesh_writer.h"
#include "mesh/mesh_report.h"
#include "mesh/sample_part.h"
#include "render/picture_outputs.h"

namespace vexmor::cli {

int Run(const std::string& command, const CommonOptions& common,
        const std::vector<std::function<void(Session&)>>& analyses,
        const std::vector<OutputPath>& outputs) {
  std::unique_ptr<Session> session;
  try {
    std::vector<OutputPath> all = {{"-o", common.output, {".vtp", ".ply", ".csv"}},
                                   {"--png", common.png, {".png"}},
                                   {"--svg", common.svg, {".svg"}},
                                   {"--pdf", common.pdf, {".pdf"}}};
    all.insert(all.end(), outputs.begin(), outputs.end());
    CheckOutputPaths(all, common.file);
    session = std::make_unique<Session>(command, common);
  } catch (const CommandError& e) {
    // Scripts reading --json get the failure in the same shape as any other summary.
    const nlohmann::json failure = {{"command", command},
                                    {"file", common.file},
                                    {"exit_code", e.exitCode()},
                                    {"errors", {e.what()}}};
    if (common.capture != nullptr) {
      *common.capture = failure;
      return e.exitCode();
    }
    if (common.json) std::cout << failure.dump(2) << std::endl;
    PrintError(e.what());
    return e.exitCode();
  }
  for (const auto& analysis : analyses) {
    try {
      analysis(*session);
    } catch (const CommandError& e) {
      session->fail(e);
    }
  }
  WriteRequestedPictures(*session);
  return session->finish();
}

int RunCheck(const CommonOptions& common) {
  return Run("check", common, {[](Session& s) {
               const auto reasons = AddCheckSection(s);
               AddFaultFields(s);
               if (!reasons.empty()) {
                 throw CommandError(kExitRejected,
                                    "the mesh would be rejected: " + reasons.front());
               }
             }});
}

int RunThickness(const CommonOptions& common, const ThicknessOptions& options) {
  return Run("thickness", common,
             {[](Session& s) { s.warnAboutDoubts(); },
              [&](Session& s) { AddThicknessSection(s, options); }});
}

int RunGradient(const CommonOptions& common, const GradientOptions& options) {
  return Run("gradient", common,
             {[](Session& s) { s.warnAboutDoubts(); },
              [&](Session& s) { AddGradientSection(s, options); }});
}

int RunDraft(const CommonOptions& common, const DraftOptions& options) {
  return Run(
      "draft", common,
      {[](Session& s) { s.warnAboutDoubts(); }, [&](Session& s) { AddDraftSection(s, options); }});
}

int RunDihedral(const CommonOptions& common, const DihedralOptions& options) {
  return Run("dihedral", common,
             {[](Session& s) { s.warnAboutDoubts(); },
              [&](Session& s) { AddDihedralSection(s, options); }});
}

namespace {

// The sections of `analyze` that are built ahead, each once, by whichever thread asks first.
struct SectionsAhead {
  CallMemo<bool, SectionWithResults> thickness, draft, dihedral;
};

// The work of `analyze` that can run at once, longest first so that the threads end together:
// the thickness and then the gradient of it, the dihedral angles, the library's check (a draft
// along +z), the draft along another pull, the program's search for crossing faces, and then
// the dihedral, draft and thickness sections from those values. The report then takes the sections
// in their fixed order, so that the summary is the same whatever the number of threads.
std::vector<std::function<void()>> AnalyzeAhead(
    Session& s, const std::function<const MeasuredThickness&()>& thickness,
    const ThicknessOptions& thicknessOptions, const DraftOptions& draft,
    const DihedralOptions& dihedral, SectionsAhead& sections) {
  const Library& library = s.library();
  std::vector<std::function<void()>> tasks;
  const bool accepted = library.rejectionReasons().empty();
  if (accepted) {
    tasks.push_back([&library, thickness] { library.gradient(thickness().perFace); });
    if (!dihedral.perNode) tasks.push_back([&library] { library.edgeDihedral(); });
  }
  tasks.push_back([&library] { library.trialStatus(); });
  const Vec3 pull = UnitPull(draft);
  if (accepted && pull != Vec3{0, 0, 1}) {
    tasks.push_back([&library, pull] { library.draftCosines(pull); });
  }
  tasks.push_back([&s] { s.doubts(); });
  if (accepted) {
    tasks.push_back([&s, &sections, &dihedral] {
      sections.dihedral.get(true, [&] { return DihedralSection(s, dihedral); });
    });
    tasks.push_back([&s, &sections, &draft] {
      sections.draft.get(true, [&] { return DraftSection(s, draft); });
    });
    tasks.push_back([&s, &sections, &thicknessOptions, thickness] {
      sections.thickness.get(true,
                             [&] { return ThicknessSection(s, thicknessOptions, thickness()); });
    });
  }
  return tasks;
}

}  // namespace

int RunAnalyze(const CommonOptions& common, const ThicknessOptions& thicknessOptions,
               std::optional<double> maxGradient, const DraftOptions& draftOptions,
               const DihedralOptions& dihedralOptions) {
  auto thickness = std::make_shared<std::vector<double>>();
  GradientOptions gradientOptions;
  gradientOptions.method = thicknessOptions.method;
  gradientOptions.outside = thicknessOptions.outside;
  gradientOptions.refine = thicknessOptions.refine;
  gradientOptions.max = maxGradient;
  // The thickness is measured once, by whichever thread asks first.
  CallMemo<bool, MeasuredThickness> measured;
  Session* session = nullptr;
  const std::function<const MeasuredThickness&()> measure = [&]() -> const MeasuredThickness& {
    return measured.get(true, [&] { return MeasureThickness(*session, thicknessOptions); });
  };
  // A mesh that every analysis would refuse gets its check and one error, not one per analysis.
  bool rejected = false;
  SectionsAhead ahead;
  return Run("analyze", common,
             {[&](Session& s) {
                session = &s;
                s.runAhead(AnalyzeAhead(s, measure, thicknessOptions, draftOptions, dihedralOptions,
                                        ahead),
                           common.threads);
              },
              [&](Session& s) {
                const auto reasons = AddCheckSection(s);
                if (reasons.empty()) return;
                rejected = true;
                std::string all;
                for (const auto& reason : reasons)
                  all += (all.empty() ? "" : "; ") + reason;
                throw CommandError(kExitRejected, "the mesh cannot be analysed: " + all);
              },
              [&](Session& s) {
                if (rejected) return;
                const MeasuredThickness& measurement = measure();
                AddSection(s, ahead.thickness.get(true, [&] {
                  return ThicknessSection(s, thicknessOptions, measurement);
                }));
                *thickness = measurement.perFace;
              },
              [&](Session& s) {
                if (thickness->empty()) return;  // the thickness failed and said why
                AddGradientSection(s, gradientOptions, thickness.get());
              },
              [&](Session& s) {
                if (rejected) return;
                AddSection(s, ahead.draft.get(true, [&] { return DraftSection(s, draftOptions); }));
              },
              [&](Session& s) {
                if (rejected) return;
                AddSection(s, ahead.dihedral.get(
                                  true, [&] { return DihedralSection(s, dihedralOptions); }));
              }});
}

int RunSample(const std::string& output, bool text) {
  const Mesh part = SamplePart();
  MeshWriteOptions options;
  options.text = text;
  options.name = "vexmor sample tray";
  try {
    CheckOutputPaths({{"-o", output, {".stl", ".obj", ".off", ".ply"}}}, "");
    WriteMeshFile(part, output, options);
  } catch (const std::exception& e) {
    PrintError(e.what());
    return kExitBadInput;
  }
  std::printf("wrote %s: the sample tray (millimetres), %zu nodes, %zu faces\n", output.c_str(),
              part.nodeCount(), part.faceCount());
  return kExitOk;
}

}  // namespace vexmor::cli
