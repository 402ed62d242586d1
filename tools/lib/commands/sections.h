// One builder per analysis: each runs its library call(s) through the session, adds its
// section to the report and its values to the results. They throw CommandError when the
// analysis cannot run; `analyze` catches that and goes on with the next one.
#pragma once

#include <string>
#include <vector>

#include "commands/options.h"
#include "commands/session.h"

namespace vexmor::cli {

// Returns the reasons for which the analyses would reject the mesh; empty when they accept it.
std::vector<std::string> AddCheckSection(Session& session);
// Where the check's faults are, as the values that -o writes: boundary and non-manifold edges
// as lines, flagged faces, far nodes.
void AddFaultFields(Session& session);
// Returns the per-face thickness (face methods) for the gradient to reuse: NaN where no wall
// of the part was measured. With --repair the fill faces have theirs too.
std::vector<double> AddThicknessSection(Session& session, const ThicknessOptions& options);
void AddGradientSection(Session& session, const GradientOptions& options,
                        const std::vector<double>* thickness = nullptr);
void AddDraftSection(Session& session, const DraftOptions& options);
void AddDihedralSection(Session& session, const DihedralOptions& options);

}  // namespace vexmor::cli
