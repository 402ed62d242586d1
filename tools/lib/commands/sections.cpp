#include "commands/sections.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "analysis/refined_thickness.h"
#include "commands/thickness_values.h"
#include "io/read_error.h"
#include "io/text_cursor.h"
#include "vexmor.h"

namespace vexmor::cli {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kDegrees = 180 / 3.141592653589793;

std::string Row(const std::string& name, const std::string& value) {
  std::string padded = name;
  padded.resize(std::max<size_t>(name.size() + 2, 16), ' ');
  return padded + value;
}

void AddDistribution(Section& section, const Session& session, const Distribution& d,
                     const std::string& unit, const std::string& items, const Limits& limits) {
  const auto lines = DistributionLines(d, unit, items, limits, session.style());
  section.lines.insert(section.lines.end(), lines.begin(), lines.end());
  section.json["values"] = DistributionJson(d, limits);
}

// "200 quadrilaterals and 2 faces of 5+ nodes": the faces that the program splits when it
// splits any.
std::string FacesSplit(const MeshReport& r) {
  std::vector<std::string> parts;
  if (r.quadrilaterals > 0) {
    parts.push_back(FormatCount(r.quadrilaterals) +
                    (r.quadrilaterals == 1 ? " quadrilateral" : " quadrilaterals"));
  }
  if (r.polygons > 0) {
    parts.push_back(FormatCount(r.polygons) +
                    (r.polygons == 1 ? " face of 5+ nodes" : " faces of 5+ nodes"));
  }
  return parts.size() == 2 ? parts[0] + " and " + parts[1] : parts.empty() ? "" : parts[0];
}

// `folded` says how the triangles' values come back to the file's faces, edges or nodes.
void NoteSplitting(Section& section, const Session& session, Analysis analysis,
                   const std::string& folded) {
  if (!session.library().splits(analysis)) return;
  const MeshReport& r = session.meshReport();
  section.lines.push_back("(split into triangles: " + FacesSplit(r) + "; " + folded + ")");
  section.json["faces_split"] = r.quadrilaterals + r.polygons;
}

// What the library takes of the mesh as it is, face types only.
std::string LibraryTakes(const MeshReport& r, int trialStatus) {
  if (trialStatus < 0) return "cannot take the mesh (fewer than two nodes, or all at one point)";
  if (!r.closedAndManifold()) return "rejects an open or non-manifold mesh";
  if (r.polygons > 0) {
    return "takes no face of 5+ nodes, and quadrilaterals only for ray, contact and gradient";
  }
  if (r.quadrilaterals > 0) return "takes quadrilaterals only for ray, contact and gradient";
  return "accepts the mesh as given";
}

// What the program does about the faces that the library does not take.
std::string ProgramDoes(const MeshReport& r, const Library& library) {
  if (!r.closedAndManifold()) return "does not mend open or non-manifold meshes without --repair";
  if (r.quadrilaterals + r.polygons == 0) return "passes the mesh unchanged";
  if (!library.splits(Analysis::kRay)) {
    return "splits the " + FacesSplit(r) +
           " along their first-to-third diagonal for draft, dihedral and sphere, as the library "
           "does for the rest";
  }
  const Triangulation& t = library.triangulation();
  std::vector<std::string> how;
  if (t.quadsOtherDiagonal > 0) {
    how.push_back(FormatCount(t.quadsOtherDiagonal) +
                  (t.quadsOtherDiagonal == 1 ? " quadrilateral" : " quadrilaterals") +
                  " along the second-to-fourth diagonal, since the first lies outside the face "
                  "or would double an edge");
  }
  if (t.foldedFaces > 0) {
    how.push_back(FormatCount(t.foldedFaces) + (t.foldedFaces == 1 ? " face" : " faces") +
                  " that cross themselves, with folded triangles");
  }
  std::string detail;
  for (const auto& h : how)
    detail += (detail.empty() ? " (" : "; ") + h;
  return "splits the " + FacesSplit(r) + " into triangles in their planes for every analysis" +
         (detail.empty() ? "" : detail + ")");
}

std::vector<Vec3> ReadPoints(const std::string& path) {
  std::string text = ReadFileBytes(path);
  std::replace(text.begin(), text.end(), ',', ' ');
  TextCursor in(path, text);
  std::vector<Vec3> points;
  while (true) {
    in.skipSpace('#');
    if (in.atEnd()) break;
    Vec3 p;
    p[0] = in.numberInLine("an x coordinate");
    p[1] = in.numberInLine("a y coordinate");
    p[2] = in.numberInLine("a z coordinate");
    if (!in.atLineEnd()) in.failFound("the end of the line after x y z", in.wordInLine());
    points.push_back(p);
    in.skipLine();
  }
  if (points.empty()) FailInFile(path, "no points: expected lines of x y z");
  return points;
}

nlohmann::json DoubtsJson(const MeshDoubts& d) {
  auto faces = [&](const DoubtfulFaces& f) {
    return nlohmann::json{{"faces", f.count},
                          {"area_share", d.totalArea > 0 ? f.area / d.totalArea : 0.0}};
  };
  nlohmann::json j = {{"crossing", faces(d.crossing)},
                      {"lying_on_another_face", faces(d.overlapping)},
                      {"non_convex", faces(d.nonConvex)},
                      {"long_thin", faces(d.longThin)},
                      {"zero_area", faces(d.zeroArea)},
                      {"far_nodes", d.farNodes},
                      {"faces_using_far_nodes", faces(d.farNodeFaces)},
                      {"long_thin_ratio", kLongThinRatio}};
  j["crossing"]["triangle_pairs"] = d.crossingPairs;
  j["crossing"]["shell_pairs"] = d.shellPairsCrossing;
  j["crossing"]["shells_crossing_themselves"] = d.shellsCrossingThemselves;
  if (d.farNodes > 0) j["node_box_growth"] = d.boxGrowth;
  if (d.farNodes > 0 && d.stray.restExtent > 0) {
    j["farthest_stray_node"] = {{"node", d.stray.node},
                                {"position", d.stray.position},
                                {"distance", d.stray.distance},
                                {"other_nodes_extent", d.stray.restExtent},
                                {"faces_using_it", d.stray.facesUsing}};
  }
  return j;
}

}  // namespace

std::vector<std::string> AddCheckSection(Session& session) {
  const MeshReport& r = session.meshReport();
  Section s;
  s.key = "check";
  s.title = "Mesh check";
  s.lines.push_back(
      Row("nodes",
          FormatCount(r.nodes) +
              (r.unusedNodes ? "  (" + FormatCount(r.unusedNodes) + " used by no face)" : "")));
  s.lines.push_back(Row("faces", FormatCount(r.faces) + "  (" + FormatCount(r.triangles) +
                                     " triangles, " + FormatCount(r.quadrilaterals) +
                                     " quadrilaterals, " + FormatCount(r.polygons) +
                                     " of 5+ nodes)"));
  s.lines.push_back(Row("edges", FormatCount(r.edges) + "  (" + FormatCount(r.boundaryEdges) +
                                     " boundary, " + FormatCount(r.nonManifoldEdges) +
                                     " non-manifold)"));
  if (r.misorientedEdges > 0) {
    s.lines.push_back(Row("winding", FormatCount(r.misorientedEdges) +
                                         " edges between faces wound against each other (the "
                                         "library turns faces outwards itself)"));
  }
  s.lines.push_back(Row("shells", FormatCount(r.shells) + "  (" + FormatCount(r.closedShells) +
                                      " closed " + (r.closedShells == 1 ? "volume" : "volumes") +
                                      ")"));
  if (r.degenerateFaces > 0) {
    s.lines.push_back(Row(
        "degenerate", FormatCount(r.degenerateFaces) + " faces with a repeated node or no area"));
  }
  s.lines.push_back(Row("surface area", FormatValue(r.area)));
  // A millionth of the part's size is rounding noise (5.7e-17 for 0), shown as 0.
  auto coordinate = [&](double v) {
    return FormatValue(std::fabs(v) < 1e-6 * r.box.largestExtent() ? 0.0 : v);
  };
  s.lines.push_back(Row(
      "bounding box", "x " + coordinate(r.box.lo[0]) + " .. " + coordinate(r.box.hi[0]) + "   y " +
                          coordinate(r.box.lo[1]) + " .. " + coordinate(r.box.hi[1]) + "   z " +
                          coordinate(r.box.lo[2]) + " .. " + coordinate(r.box.hi[2])));
  std::vector<std::string> reasons = session.library().rejectionReasons();
  const int status = session.library().trialStatus();
  if (status < 0) {
    reasons.push_back("the library cannot take it: fewer than two nodes, or all at one point");
  } else if (status != VX_STATUS_OK && reasons.empty()) {
    reasons.push_back("the library's mesh check refuses it (status " + std::to_string(status) +
                      ")");
  }
  if (session.repaired()) {
    const size_t fill = r.faces - session.ownFaceCount();
    s.lines.push_back(Row("repair", FormatCount(fill) + (fill == 1 ? " face" : " faces") +
                                        " of these fill holes (left out of every result)"));
  } else if (!r.closedAndManifold() || r.degenerateFaces > 0) {
    s.lines.push_back(Row("repair",
                          "try --repair: it merges nodes closer than a millionth of the part's "
                          "size, drops repeated and collapsed faces and fills holes of up to " +
                              std::to_string(kDefaultMaxHoleEdges) + " edges"));
  }
  s.lines.push_back(Row("library", LibraryTakes(r, status)));
  s.lines.push_back(Row("vexmor", ProgramDoes(r, session.library())));
  nlohmann::json splitFor = nlohmann::json::array();
  for (Analysis a : {Analysis::kRay, Analysis::kContact, Analysis::kGradient, Analysis::kSphere,
                     Analysis::kDraft, Analysis::kDihedral}) {
    if (session.library().splits(a)) splitFor.push_back(AnalysisName(a));
  }
  s.json = {{"nodes", r.nodes},
            {"unused_nodes", r.unusedNodes},
            {"faces", r.faces},
            {"triangles", r.triangles},
            {"quadrilaterals", r.quadrilaterals},
            {"polygons", r.polygons},
            {"degenerate_faces", r.degenerateFaces},
            {"edges", r.edges},
            {"boundary_edges", r.boundaryEdges},
            {"non_manifold_edges", r.nonManifoldEdges},
            {"misoriented_edges", r.misorientedEdges},
            {"shells", r.shells},
            {"closed_volumes", r.closedShells},
            {"area", r.area},
            {"box", {{"min", r.box.lo}, {"max", r.box.hi}}},
            {"library_status", status},
            {"split_for", splitFor},
            {"accepted", reasons.empty()},
            {"reasons", reasons}};
  if (session.repaired()) s.json["fill_faces"] = r.faces - session.ownFaceCount();
  const MeshDoubts& doubts = session.doubts();
  const std::vector<std::string> warnings = doubts.warnings();
  s.json["warnings"] = warnings;
  s.json["doubts"] = DoubtsJson(doubts);
  if (reasons.empty()) {
    s.lines.push_back(Row("verdict", warnings.empty()
                                         ? "ready for every analysis"
                                         : "ready for every analysis, with warnings:"));
  } else {
    s.lines.push_back(Row("verdict", "rejected by every analysis but the distance method:"));
    for (const auto& reason : reasons)
      s.lines.push_back("  - " + reason);
    if (!warnings.empty()) s.lines.push_back("and with warnings:");
  }
  for (const auto& warning : warnings)
    s.lines.push_back("  - " + warning);
  session.report().sections.push_back(std::move(s));
  return reasons;
}

void AddFaultFields(Session& session) {
  const MeshDoubts& d = session.doubts();
  Results& results = session.report().results;
  const MeshTopology& t = session.topology();
  results.edgeNodes = t.boundaryEdges;
  results.edgeNodes.insert(results.edgeNodes.end(), t.nonManifoldEdges.begin(),
                           t.nonManifoldEdges.end());
  std::vector<double> edgeFault(t.boundaryEdges.size() / 2, 1.0);
  edgeFault.resize(results.edgeNodes.size() / 2, 2.0);
  results.fields.push_back({"edge_fault", Location::kEdge, edgeFault});
  const std::pair<const char*, uint8_t> flags[] = {
      {"crossing", kDoubtCrossing},    {"lying_on_another_face", kDoubtOverlapping},
      {"non_convex", kDoubtNonConvex}, {"long_thin", kDoubtLongThin},
      {"zero_area", kDoubtZeroArea},   {"uses_far_node", kDoubtUsesFarNode}};
  std::vector<double> any(d.faceFlags.size(), 0.0);
  for (size_t f = 0; f < any.size(); ++f)
    any[f] = d.faceFlags[f] != 0 ? 1.0 : 0.0;
  results.fields.push_back({"doubtful", Location::kFace, session.withoutFill(any)});
  for (const auto& [name, bit] : flags) {
    std::vector<double> values(d.faceFlags.size());
    for (size_t f = 0; f < values.size(); ++f)
      values[f] = (d.faceFlags[f] & bit) != 0 ? 1.0 : 0.0;
    results.fields.push_back({name, Location::kFace, session.withoutFill(values)});
  }
  results.fields.push_back(
      {"far_node", Location::kNode, std::vector<double>(d.farNode.begin(), d.farNode.end())});
  results.colourField = "doubtful";
}

MeasuredThickness MeasureThickness(Session& session, const ThicknessOptions& options) {
  const Library& library = session.library();
  const Mesh& mesh = session.mesh();
  const bool careful =
      options.method == ThicknessMethod::kSphere || options.method == ThicknessMethod::kContact;
  const bool contact = options.method == ThicknessMethod::kContact;
  MeasuredThickness m;
  auto& [values, areas, diameters, itemFace, pieces, classified, perFace] = m;
  if (careful && options.refine) {
    CheckLibraryCanTake(mesh, "the mesh");
    library.refuseRejected("thickness");
    pieces = MeasureRefined(library, options.method, options.outside);
    values = pieces->values;
    areas = pieces->areas;
    diameters = pieces->diameter;
    itemFace = pieces->face;
  } else {
    values = library.faceThickness(options.method, options.outside);
    areas = session.areas();
    itemFace.resize(values.size());
    for (size_t f = 0; f < itemFace.size(); ++f)
      itemFace[f] = static_cast<uint32_t>(f);
    if (contact) {
      // The sphere that goes with each contact distance, for the faces it touches around a
      // curve; with --outside, measured inside a box as the contact distance is.
      if (options.outside) {
        std::vector<double> boxed = library.thicknessOf(
            WithEnclosingBox(library.triangles()), ThicknessMethod::kSphere, true, " in a box");
        boxed.resize(library.triangles().faceCount());
        std::vector<double> folded(mesh.faceCount(), kNaN);
        for (size_t t = 0; t < boxed.size(); ++t) {
          double& v = folded[library.faceOfTriangle(t)];
          if (std::isnan(v) || std::fabs(boxed[t]) < std::fabs(v)) v = boxed[t];
        }
        diameters = std::move(folded);
      } else {
        diameters = library.faceThickness(ThicknessMethod::kSphere, false);
      }
    }
  }
  classified = ClassifyThickness(values, areas, diameters, options.outside);
  // The fill faces keep theirs for the gradient of the file's faces beside them.
  perFace = pieces ? FoldPiecesByArea(*pieces, mesh.faceCount(), classified.measured)
                   : classified.measured;
  return m;
}

namespace {

// The thickness section's title and what it says of the method.
Section ThicknessSectionHead(const Session& session, const ThicknessOptions& options) {
  Section s;
  s.key = "thickness";
  s.title = std::string("Thickness: ") + MethodDescription(options.method) +
            (options.outside ? ", of the space around the part" : "") + " (" +
            UnitName(session.unit()) + ")";
  s.json["method"] = MethodName(options.method);
  s.json["outside"] = options.outside;
  return s;
}

// Whether a process's wall rules judge the thickness, and the limits reported.
bool JudgesThickness(const Session& session, const ThicknessOptions& options) {
  return session.options().process != nullptr && options.method != ThicknessMethod::kDistance &&
         !options.outside;
}
Limits ThicknessLimits(const Session& session, const ThicknessOptions& options) {
  const ProcessRules* process = session.options().process;
  return JudgesThickness(session, options)
             ? Limits{session.ruleLength(options.min, process->minWall),
                      session.ruleLength(options.max, process->maxWall)}
             : Limits{options.min, options.max};
}

}  // namespace

std::vector<double> AddThicknessSection(Session& session, const ThicknessOptions& options,
                                        const MeasuredThickness* measurement) {
  if (options.method != ThicknessMethod::kDistance) {
    std::optional<MeasuredThickness> computed;
    if (measurement == nullptr) measurement = &computed.emplace(MeasureThickness(session, options));
    AddSection(session, ThicknessSection(session, options, *measurement));
    return measurement->perFace;
  }
  Section s = ThicknessSectionHead(session, options);
  const Limits limits = ThicknessLimits(session, options);
  Results& results = session.report().results;
  // Nodes on the surface read 0: the method measures query points and loose nodes.
  Mesh& withPoints = session.extraMesh();
  withPoints = session.mesh();
  size_t queries = 0;
  if (!options.points.empty()) {
    std::vector<Vec3> points;
    try {
      points = ReadPoints(options.points);
    } catch (const ReadError& e) {
      throw CommandError(kExitBadInput, e.what());
    }
    for (const Vec3& p : points)
      withPoints.addNode(p[0], p[1], p[2]);
    queries = points.size();
  }
  std::vector<bool> used(withPoints.nodeCount(), false);
  for (size_t f = 0; f < withPoints.faceCount(); ++f) {
    for (int32_t n : withPoints.face(f))
      used[static_cast<size_t>(n)] = true;
  }
  const size_t loose = session.meshReport().unusedNodes;
  if (queries == 0 && loose == 0) {
    throw CommandError(kExitBadInput,
                       "the distance method measures points off the surface (every node of "
                       "the file lies on it and reads 0): give them with --points FILE, one "
                       "'x y z' per line");
  }
  const auto distances = session.library().nodeDistances(withPoints);
  // The results hold the measured points alone, one row each in the query's order.
  Mesh measuredPoints;
  std::vector<double> measured;
  for (size_t n = 0; n < distances.size(); ++n) {
    if (used[n]) continue;
    measured.push_back(distances[n]);
    const Vec3 p = withPoints.node(n);
    measuredPoints.addNode(p[0], p[1], p[2]);
  }
  const Distribution d = Describe(measured, {}, session.options().bins, limits);
  s.lines.push_back(FormatCount(queries) + " query points, " + FormatCount(loose) +
                    " nodes of the file that no face uses");
  AddDistribution(s, session, d, "", "points", limits);
  s.json["query_points"] = queries;
  s.json["loose_nodes"] = loose;
  withPoints = std::move(measuredPoints);
  results.mesh = &withPoints;
  results.fields.push_back({"distance", Location::kNode, measured});
  session.report().sections.push_back(std::move(s));
  return {};
}

SectionWithResults ThicknessSection(Session& session, const ThicknessOptions& options,
                                    const MeasuredThickness& measurement) {
  SectionWithResults part;
  Section& s = part.section = ThicknessSectionHead(session, options);
  const bool judged = JudgesThickness(session, options);
  const Limits limits = ThicknessLimits(session, options);
  const Mesh& mesh = session.mesh();
  const bool contact = options.method == ThicknessMethod::kContact;
  const std::vector<double>&values = measurement.values, &areas = measurement.areas,
        &diameters = measurement.diameters;
  const std::vector<uint32_t>& itemFace = measurement.itemFace;
  const std::optional<PieceThickness>& pieces = measurement.pieces;
  if (pieces) {
    const size_t triangles = session.library().triangles().faceCount();
    s.lines.push_back("(refined: " + FormatCount(triangles) + " triangles into " +
                      FormatCount(values.size()) + " pieces" +
                      (values.size() == triangles ? " (none needed splitting)" : "") +
                      (pieces->refinement.capped ? ", stopped at the cap" : "") +
                      ", no edge longer than a sixth of the local ray thickness, so that "
                      "tangent points spread over each face; the statistics are over the pieces, "
                      "by area; a face of the file reads the area-weighted mean of its pieces)");
    s.json["refined_pieces"] = values.size();
    s.json["refinement_capped"] = pieces->refinement.capped;
  } else {
    NoteSplitting(s, session, AnalysisOf(options.method), "a face reads its thinnest triangle");
  }
  const ClassifiedThickness& c = measurement.classified;
  // The statistics count the items of the file's own faces; with --repair, those of the faces
  // that fill holes only close the part.
  std::vector<double> ownValues, ownAreas, ownDiameters;
  for (size_t i = 0; i < values.size(); ++i) {
    if (itemFace[i] >= session.ownFaceCount()) continue;
    ownValues.push_back(values[i]);
    ownAreas.push_back(areas[i]);
    if (i < diameters.size()) ownDiameters.push_back(diameters[i]);
  }
  const ClassifiedThickness own =
      ClassifyThickness(ownValues, ownAreas, ownDiameters, options.outside);
  const std::string items = pieces ? "pieces" : "faces";
  if (contact) {
    s.lines.push_back(
        "(contact: the distance from each face's tangent point to where the largest sphere "
        "tangent there touches the opposite wall; across a wall that is its thickness)");
  }
  // The statistics hold the measured items and count those without a value as missing; the
  // items of the part's surroundings or touched around a curve are counted apart below.
  std::vector<double> shownValues, shownAreas;
  for (size_t i = 0; i < own.kind.size(); ++i) {
    if (own.kind[i] != ThicknessKind::kMeasured && own.kind[i] != ThicknessKind::kNoWall) continue;
    shownValues.push_back(own.measured[i]);
    shownAreas.push_back(ownAreas[i]);
  }
  const Distribution d = Describe(shownValues, shownAreas, session.options().bins, limits);
  AddDistribution(s, session, d, "", items, limits);
  for (const auto& line : LeftOutLines(own, items))
    s.lines.push_back(line);
  s.json["no_wall"] = {{items, own.noWall.count}, {"area", own.noWall.area}};
  if (options.outside) {
    s.json["open_to_box"] = {{items, own.openToBox.count}, {"area", own.openToBox.area}};
  }
  if (contact) {
    s.json["touching_around_a_curve"] = {{items, own.aroundCurve.count},
                                         {"area", own.aroundCurve.area}};
  }

  // Values per face of the file for the results and the gradient: NaN where nothing of the
  // part's own thickness was measured.
  const size_t faces = mesh.faceCount();
  // The fill faces keep theirs for the gradient of the file's faces beside them.
  const std::vector<double>& perFace = measurement.perFace;
  if (judged) {
    std::vector<bool> failing(faces, false);
    for (size_t f = 0; f < session.ownFaceCount(); ++f) {
      const double t = perFace[f];
      failing[f] = (limits.min && t < *limits.min) || (limits.max && t > *limits.max);
    }
    std::string rule;
    if (limits.min) rule = "walls of at least " + FormatValue(*limits.min) + " " + session.unit();
    if (limits.max) {
      rule += (rule.empty() ? "walls of at most " : ", at most ") + FormatValue(*limits.max) + " " +
              session.unit();
    }
    session.judge(s, rule.empty() ? "no wall thickness rule" : rule, failing);
  }
  const std::string name =
      std::string("thickness_") + MethodName(options.method) + (options.outside ? "_outside" : "");
  part.fields.push_back({name, Location::kFace, session.withoutFill(perFace)});
  part.colourField = name;
  if (options.outside) {
    part.fields.push_back(
        {"open_to_box", Location::kFace,
         session.withoutFill(ShareOfKind(c, areas, itemFace, faces, ThicknessKind::kOpenToBox))});
  }
  if (contact) {
    part.fields.push_back(
        {"touching_around_a_curve", Location::kFace,
         session.withoutFill(ShareOfKind(c, areas, itemFace, faces, ThicknessKind::kAroundCurve))});
    std::vector<double> diameter(diameters.size());
    for (size_t i = 0; i < diameters.size(); ++i)
      diameter[i] = diameters[i] != 0 ? std::fabs(diameters[i]) : kNaN;
    part.fields.push_back(
        {"sphere_diameter", Location::kFace,
         session.withoutFill(pieces ? FoldPiecesByArea(*pieces, faces, diameter) : diameter)});
  }
  return part;
}

void AddGradientSection(Session& session, const GradientOptions& options,
                        const std::vector<double>* thickness) {
  std::vector<double> own;
  if (thickness == nullptr) {
    if (options.method == ThicknessMethod::kDistance) {
      throw CommandError(kExitBadInput,
                         "the gradient needs a thickness per face: use --method ray, sphere or "
                         "contact");
    }
    session.library().refuseRejected("the thickness gradient");
    ThicknessOptions t;
    t.method = options.method;
    t.outside = options.outside;
    t.refine = options.refine;
    own = AddThicknessSection(session, t);
    thickness = &own;
  }
  Section s;
  s.key = "gradient";
  s.title = std::string("Thickness gradient, from the ") + MethodDescription(options.method) +
            ": how much thicker or thinner the neighbouring faces are, relative to the face (0: "
            "as thick; 1: a neighbour twice as thick or half as thick)";
  s.json["method"] = MethodName(options.method);
  const auto values = session.withoutFill(session.library().gradient(*thickness));
  NoteSplitting(s, session, Analysis::kGradient, "a face reads its triangles' mean");
  const Limits limits{std::nullopt, options.max};
  const Distribution d = Describe(session.ownFacesOf(values), session.ownFacesOf(session.areas()),
                                  session.options().bins, limits);
  AddDistribution(s, session, d, "", "faces", limits);
  if (d.missing > 0) {
    s.lines.push_back(
        "(a face without a thickness has no gradient either, and its neighbours "
        "are compared only with the faces that have one)");
  }
  if (session.options().process != nullptr) {
    std::vector<bool> failing(values.size(), false);
    for (size_t f = 0; f < values.size(); ++f)
      failing[f] = options.max && values[f] > *options.max;
    session.judge(s,
                  options.max ? "thickness changing by at most " + FormatValue(*options.max) +
                                    " between neighbouring faces"
                              : "no rule on thickness changes",
                  failing);
  }
  session.report().results.fields.push_back({"thickness_gradient", Location::kFace, values});
  session.report().sections.push_back(std::move(s));
}

Vec3 UnitPull(const DraftOptions& options) {
  const double length =
      std::sqrt(options.pull[0] * options.pull[0] + options.pull[1] * options.pull[1] +
                options.pull[2] * options.pull[2]);
  return {options.pull[0] / length, options.pull[1] / length, options.pull[2] / length};
}

void AddSection(Session& session, SectionWithResults part) {
  Results& results = session.report().results;
  for (Field& field : part.fields)
    results.fields.push_back(std::move(field));
  if (!part.edgeNodes.empty()) results.edgeNodes = std::move(part.edgeNodes);
  if (results.colourField.empty()) results.colourField = part.colourField;
  session.report().sections.push_back(std::move(part.section));
}

void AddDraftSection(Session& session, const DraftOptions& options) {
  AddSection(session, DraftSection(session, options));
}

void AddDihedralSection(Session& session, const DihedralOptions& options) {
  AddSection(session, DihedralSection(session, options));
}

SectionWithResults DraftSection(Session& session, const DraftOptions& options) {
  const Vec3 pull = UnitPull(options);
  SectionWithResults part;
  Section& s = part.section;
  s.key = "draft";
  s.title = "Draft against the pull direction (" + FormatValue(pull[0]) + ", " +
            FormatValue(pull[1]) + ", " + FormatValue(pull[2]) + "), degrees; minimum draft " +
            FormatValue(options.minDraft);
  const auto cosines = session.library().draftCosines(pull);
  std::vector<double> degrees(cosines.size()), classes(cosines.size());
  const auto& areas = session.areas();
  size_t count[3] = {0, 0, 0};  // positive, needs draft, negative
  double area[3] = {0, 0, 0}, total = 0;
  for (size_t f = 0; f < cosines.size() && f < session.ownFaceCount(); ++f) {
    // The draft is the angle between the face and the pull: 90 degrees minus the angle
    // between its normal and the pull.
    degrees[f] = std::asin(std::clamp(cosines[f], -1.0, 1.0)) * kDegrees;
    const int c = degrees[f] >= options.minDraft ? 0 : degrees[f] <= -options.minDraft ? 2 : 1;
    classes[f] = c == 0 ? 1 : c == 2 ? -1 : 0;
    ++count[c];
    area[c] += areas[f];
    total += areas[f];
  }
  NoteSplitting(s, session, Analysis::kDraft, "a face reads its triangles' area-weighted mean");
  const char* keys[3] = {"positive", "requires_draft", "negative"};
  const std::string degree = session.style().utf8 ? "\u00b0" : " deg";
  const std::string meaning[3] = {
      "releases along the pull",
      "needs draft: steeper than " + FormatValue(options.minDraft) + degree,
      "faces against the pull: the other half or an undercut"};
  size_t countWidth = 0;
  for (size_t c : count)
    countWidth = std::max(countWidth, FormatCount(c).size() + 8);
  for (int c = 0; c < 3; ++c) {
    const double share = total > 0 ? area[c] / total : 0;
    std::string countText = FormatCount(count[c]) + " faces";
    countText.resize(countWidth, ' ');
    std::string shareText = FormatPercent(share) + " of the area";
    shareText.resize(std::max<size_t>(shareText.size(), 19), ' ');
    s.lines.push_back(countText + shareText + "  " + meaning[c]);
    s.json[keys[c]] = {{"faces", count[c]}, {"area_share", share}};
  }
  s.json["pull"] = pull;
  s.json["min_draft_deg"] = options.minDraft;
  const Distribution d =
      Describe(session.ownFacesOf(degrees), session.ownFacesOf(areas), session.options().bins);
  AddDistribution(s, session, d, "deg", "faces", {});
  if (session.options().process != nullptr) {
    std::vector<bool> failing(classes.size());
    for (size_t f = 0; f < classes.size(); ++f)
      failing[f] = classes[f] == 0;
    session.judge(
        s, "a draft of at least " + FormatValue(options.minDraft) + degree + " along the pull",
        failing);
  }
  part.fields.push_back({"draft_deg", Location::kFace, session.withoutFill(degrees)});
  part.fields.push_back({"draft_class", Location::kFace, session.withoutFill(classes)});
  part.colourField = "draft_deg";
  return part;
}

SectionWithResults DihedralSection(Session& session, const DihedralOptions& options) {
  SectionWithResults part;
  Section& s = part.section;
  s.key = "dihedral";
  s.title = std::string("Dihedral angles ") + (options.perNode ? "per node" : "per edge") +
            (options.signedAngles ? ", signed (convex positive, concave negative)" : "") +
            ", degrees";
  EdgeAngles edges = session.library().edgeDihedral();
  if (session.repaired()) {
    // The edges of the file's own faces: those inside the fill faces are left out.
    EdgeAngles own;
    for (size_t e = 0; e < edges.count(); ++e) {
      if (!session.isOwnEdge(edges.nodes[2 * e], edges.nodes[2 * e + 1])) continue;
      own.nodes.insert(own.nodes.end(), {edges.nodes[2 * e], edges.nodes[2 * e + 1]});
      own.degrees.push_back(edges.degrees[e]);
    }
    edges = std::move(own);
  }
  size_t convex = 0, concave = 0;
  for (double a : edges.degrees) {
    if (std::fabs(a) >= options.sharp) ++(a > 0 ? convex : concave);
  }
  NoteSplitting(s, session, Analysis::kDihedral,
                options.perNode ? "a node's largest angle includes the diagonals"
                                : "the diagonals are left out");
  s.lines.push_back(Row(
      "sharp edges", FormatCount(convex + concave) + " of " + FormatCount(edges.count()) + " at " +
                         FormatValue(options.sharp) + " degrees or more: " + FormatCount(convex) +
                         " convex, " + FormatCount(concave) + " concave"));
  s.json["edges"] = edges.count();
  s.json["sharp_deg"] = options.sharp;
  s.json["sharp_convex"] = convex;
  s.json["sharp_concave"] = concave;
  s.json["signed"] = options.signedAngles;
  s.json["per_node"] = options.perNode;
  if (options.perNode) {
    const auto values = session.library().nodeDihedral(options.signedAngles);
    const Distribution d = Describe(values, {}, session.options().bins);
    AddDistribution(s, session, d, "deg", "nodes", {});
    part.fields.push_back({options.signedAngles ? "dihedral_max_signed_deg" : "dihedral_max_deg",
                           Location::kNode, values});
  } else {
    std::vector<double> values = edges.degrees;
    if (!options.signedAngles) {
      for (double& v : values)
        v = std::fabs(v);
    }
    const Distribution d = Describe(values, {}, session.options().bins);
    AddDistribution(s, session, d, "deg", "edges", {});
    part.edgeNodes = edges.nodes;
    part.fields.push_back(
        {options.signedAngles ? "dihedral_signed_deg" : "dihedral_deg", Location::kEdge, values});
  }
  if (session.options().process != nullptr) {
    session.judge(s, "no rule on edge angles", {});
  }
  return part;
}

}  // namespace vexmor::cli
