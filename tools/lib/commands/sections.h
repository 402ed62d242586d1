// One builder per analysis: each runs its library call(s) through the session, adds its
// section to the report and its values to the results. They throw CommandError when the
// analysis cannot run; `analyze` catches that and goes on with the next one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "analysis/refined_thickness.h"
#include "commands/thickness_values.h"

#include "commands/options.h"
#include "commands/session.h"

namespace vexmor::cli {

// Returns the reasons for which the analyses would reject the mesh; empty when they accept it.
std::vector<std::string> AddCheckSection(Session& session);
// Where the check's faults are, as the values that -o writes: boundary and non-manifold edges
// as lines, flagged faces, far nodes.
void AddFaultFields(Session& session);
// What a face method measures: the items (the faces of the file, or their refined pieces) with
// their values, areas and faces, and the thickness per face of the file that the gradient takes
// (NaN where no wall of the part was measured; with --repair the fill faces have theirs too).
struct MeasuredThickness {
  std::vector<double> values, areas;
  std::vector<double> diameters;  // contact: each item's sphere diameter
  std::vector<uint32_t> itemFace;
  std::optional<PieceThickness> pieces;
  ClassifiedThickness classified;
  std::vector<double> perFace;
};
// Runs the library calls of a face method (not distance). Throws CommandError.
MeasuredThickness MeasureThickness(Session& session, const ThicknessOptions& options);
// Returns the per-face thickness (face methods) for the gradient to reuse. `measurement`, when
// given, is MeasureThickness with the same options, done already.
std::vector<double> AddThicknessSection(Session& session, const ThicknessOptions& options,
                                        const MeasuredThickness* measurement = nullptr);
void AddGradientSection(Session& session, const GradientOptions& options,
                        const std::vector<double>* thickness = nullptr);
// The pull direction of unit length that the draft is measured against.
Vec3 UnitPull(const DraftOptions& options);
void AddDraftSection(Session& session, const DraftOptions& options);
void AddDihedralSection(Session& session, const DihedralOptions& options);

// A section with the values it adds to the results, built apart from the report: `analyze`
// builds some on another thread while the analyses before them run, and adds each in its place.
struct SectionWithResults {
  Section section;
  std::vector<Field> fields;
  std::vector<int32_t> edgeNodes;  // two per edge, when the fields hold values per edge
  std::string colourField;         // colours the faces of a .ply unless an earlier section's does
};
void AddSection(Session& session, SectionWithResults part);
// What AddThicknessSection (of a face method, given its measurement), AddDraftSection and
// AddDihedralSection add. Safe to build on any thread.
SectionWithResults ThicknessSection(Session& session, const ThicknessOptions& options,
                                    const MeasuredThickness& measurement);
SectionWithResults DraftSection(Session& session, const DraftOptions& options);
SectionWithResults DihedralSection(Session& session, const DihedralOptions& options);

}  // namespace vexmor::cli
