#include "commands/report_command.h"

#include <memory>

#include "analysis/progress.h"
#include "commands/commands.h"
#include "commands/sections.h"
#include "io/file_writer.h"
#include "io/text_output.h"
#include "render/face_layers.h"
#include "render/picture_outputs.h"
#include "report/html_report.h"

namespace vexmor::cli {

int RunReport(const ReportOptions& options) {
  auto thickness = std::make_shared<std::vector<double>>();
  bool rejected = false;
  return Run("report", options.common,
             {[&](Session& s) {
                const auto reasons = AddCheckSection(s);
                if (reasons.empty()) return;
                rejected = true;
                std::string all;
                for (const auto& reason : reasons)
                  all += (all.empty() ? "" : "; ") + reason;
                throw CommandError(kExitRejected, "the mesh cannot be analysed: " + all);
              },
              [&](Session& s) {
                if (!rejected) *thickness = AddThicknessSection(s, options.thickness);
              },
              [&](Session& s) {
                if (thickness->empty()) return;  // the thickness failed and said why
                AddGradientSection(s, options.gradient, thickness.get());
              },
              [&](Session& s) {
                if (!rejected) AddDraftSection(s, options.draft);
              },
              [&](Session& s) {
                if (!rejected) AddDihedralSection(s, options.dihedral);
              },
              // The page is written whatever ran: a rejected mesh gets its check.
              [&](Session& s) {
                std::string page;
                {
                  Progress progress("writing " + options.html);
                  const auto layers = FaceLayersOf(s.report(), s.mesh(), LengthUnitOf(s));
                  page = HtmlReport(s.report(), s.mesh(), layers, PartName(s.report().file));
                }
                try {
                  WriteFileBytes(options.html, page);
                } catch (const std::exception& e) {
                  throw CommandError(kExitBadInput, e.what());
                }
                s.report().notes.push_back("report written to " + options.html +
                                           " (open it in a web browser)");
              }},
             {{"-o", options.html, {".html", ".htm"}}});
}

}  // namespace vexmor::cli
