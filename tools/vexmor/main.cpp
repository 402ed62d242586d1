// vexmor: wall thickness, thickness gradient, draft and dihedral angles of a part's surface
// mesh, from the command line. With no arguments it analyses its bundled sample part.
#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <thread>

#include "analysis/progress.h"
#include "argument_checks.h"
#include "commands/batch.h"
#include "commands/commands.h"
#include "commands/process_rules.h"
#include "io/text_cursor.h"
#include "render/picture.h"
#include "report_subcommand.h"

namespace {

using namespace vexmor::cli;

constexpr const char* kExitStatuses =
    "Exit status:\n"
    "  0  success\n"
    "  1  an analysis failed\n"
    "  2  bad usage, a file that cannot be read or written, not a mesh file, an empty file, or\n"
    "     a mesh the library cannot take (no faces, fewer than two nodes, all nodes at one point)\n"
    "  3  the mesh is rejected: open (boundary edges) or non-manifold edges ('vexmor check'\n"
    "     says which)\n"
    "  4  with --process: the part breaks a rule of the process (the FAIL lines say where); 2 and\n"
    "     3 outrank it";

constexpr const char* kFormats =
    "Formats read, told apart by their content: STL (text and binary), OBJ, OFF, PLY (text and\n"
    "binary), 3MF and AMF (plain or zipped), each also gzip-compressed (.stl.gz, ...). Faces of "
    "any\n"
    "number of nodes: vexmor splits them into triangles where an analysis needs it and reports\n"
    "per face of the file. Lengths are in the file's unit: --unit, else the file's own, else\n"
    "mm (the summary's first line says which). Results: -o FILE.vtp (ParaView), "
    "FILE.ply (with face colours) or\n"
    "FILE.csv; --json prints the summary as JSON.";

// A subcommand's help ends with its own notes, then the exit statuses.
void SetFooter(CLI::App* command, const std::string& own = "") {
  command->footer(own.empty() ? std::string(kExitStatuses) : own + "\n\n" + kExitStatuses);
}

// "X,Y,Z", or an axis: x, y, z, with an optional sign.
bool ParsePull(const std::string& text, vexmor::cli::Vec3& pull) {
  std::string t = text;
  double sign = 1;
  if (!t.empty() && (t[0] == '-' || t[0] == '+') && t.size() == 2) {
    sign = t[0] == '-' ? -1 : 1;
    t = t.substr(1);
  }
  if (t == "x" || t == "X") return pull = {sign, 0, 0}, true;
  if (t == "y" || t == "Y") return pull = {0, sign, 0}, true;
  if (t == "z" || t == "Z") return pull = {0, 0, sign}, true;
  size_t start = 0;
  for (int k = 0; k < 3; ++k) {
    const size_t comma = text.find(',', start);
    if ((k < 2) != (comma != std::string::npos)) return false;
    const std::string part = text.substr(start, comma == std::string::npos ? comma : comma - start);
    if (!TextCursor::ParseNumber(part, pull[k])) return false;
    start = comma + 1;
  }
  return std::sqrt(pull[0] * pull[0] + pull[1] * pull[1] + pull[2] * pull[2]) > 0;
}

std::string PullError(const std::string& pull) {
  return "--pull: expected a non-zero direction X,Y,Z (such as 0,0,1) or an axis (x, y, z, -x, "
         "...), got '" +
         pull + "'";
}

ThicknessMethod MethodFromName(const std::string& name) {
  if (name == "sphere") return ThicknessMethod::kSphere;
  if (name == "contact") return ThicknessMethod::kContact;
  if (name == "distance") return ThicknessMethod::kDistance;
  return ThicknessMethod::kRay;
}

struct Arguments {
  CommonOptions common;
  std::vector<std::string> files;  // one file, several, or folders
  bool recursive = false;
  int jobs = 0;     // 0: one per core
  int threads = 0;  // analyze; 0: one per core
  std::string process;
  bool quiet = false;
  std::string method = "ray";
  ThicknessOptions thickness;
  GradientOptions gradient;
  std::string pull = "0,0,1";
  DraftOptions draft;
  DihedralOptions dihedral;
  ReportOptions report;
  std::optional<size_t> maxHoleEdges;  // --max-hole-edges, to be checked against --repair
  std::string sampleOutput;
  bool sampleText = false;
};

// The analyses that write values can also draw them. A build without pictures still names the
// options, so that asking for one gets a message saying why there is none.
void AddPictureOptions(CLI::App* command, Arguments& a) {
  const std::string unavailable = PicturesAvailable() ? "" : " (not in this build)";
  command->add_option("--png", a.common.png,
                      "Draw the part coloured by value: a PNG picture" + unavailable);
  command->add_option("--svg", a.common.svg, "The same picture as SVG" + unavailable);
  command->add_option("--pdf", a.common.pdf, "The same picture as PDF" + unavailable);
}

void AddRepairOptions(CLI::App* command, CommonOptions& common, Arguments& a) {
  command->add_flag("--repair", common.repair,
                    "Mend an open or slightly broken mesh first: merge nodes closer than the "
                    "merge tolerance, drop duplicate and zero-area faces, fill holes of up to "
                    "--max-hole-edges edges in their plane; results are on the file's own faces");
  command
      ->add_option("--merge-tolerance", common.repairOptions.mergeTolerance,
                   "With --repair: nodes closer than D (file units) become one (default: a "
                   "millionth of the node box diagonal)")
      ->type_name("D")
      ->check(InRange(0, std::numeric_limits<double>::max(), "0", "any size"));
  command
      ->add_option("--max-hole-edges", a.maxHoleEdges,
                   "With --repair: fill holes whose boundary has at most N edges (default " +
                       std::to_string(kDefaultMaxHoleEdges) + ")")
      ->type_name("N")
      ->check(InRange(0, 100000, "0", "100000", true));
}

void AddCommonOptions(
    CLI::App* command, Arguments& a, bool fileRequired,
    const std::string& outputHelp = "Write per-face/per-node values to a .vtp, .ply or .csv file") {
  auto* file = command->add_option(
      "FILE", a.files,
      "Mesh files: STL, OBJ, OFF, PLY, 3MF or AMF, gzip-compressed or not; or folders of them" +
          std::string(fileRequired ? "" : " (default: the sample part)"));
  if (fileRequired) file->required();
  command->add_flag("-r,--recursive", a.recursive, "Take the mesh files in subfolders too");
  command
      ->add_option("--unit", a.common.unit,
                   "The unit of the file's numbers: mm, cm, m or in (default: the file's own "
                   "when it names one, else mm)")
      ->check(CLI::IsMember({"mm", "cm", "m", "in"}));
  command
      ->add_option("--process", a.process,
                   "Check the part against the rules of a process: fdm, sla, sls or injection "
                   "(minimum wall, and for injection maximum wall, thickness change and draft); "
                   "each analysis ends with a PASS or FAIL line, and a failing part exits 4. "
                   "Thresholds given as options override the process's")
      ->check(CLI::IsMember({"fdm", "sla", "sls", "injection"}));
  command
      ->add_option("-j,--jobs", a.jobs,
                   "Files analysed at once when several are given (default: one per core)")
      ->check(InRange(1, 1024, "1", "1024", true));
  command->add_option("-o,--output", a.common.output, outputHelp);
  command->add_flag("--json", a.common.json, "Print the summary as JSON on standard output");
  command->add_option("--bins", a.common.bins, "Histogram bins (default 10)")
      ->check(InRange(1, 200, "1", "200", true));
  command->add_flag("-v,--verbose", a.common.verbose,
                    "Show the library's diagnostic lines (on standard error)");
  command->add_flag("-q,--quiet", a.quiet, "No progress display on standard error");
  AddRepairOptions(command, a.common, a);
}

CLI::Option* AddMethodOption(CLI::App* command, std::string& method, bool withDistance) {
  std::vector<std::string> methods = {"ray", "sphere", "contact"};
  if (withDistance) methods.push_back("distance");
  return command
      ->add_option("--method", method,
                   "ray (the fast method): ray cast inwards from each face; sphere: diameter of "
                   "the largest sphere tangent at each face; contact: distance from the tangent "
                   "point to where that sphere touches the opposite wall (sphere and contact are "
                   "the careful methods, and can take minutes on a large, thick part)" +
                       std::string(withDistance ? "; distance: distance from points to the "
                                                  "surface (with --points)"
                                                : "") +
                       " (default ray)")
      ->check(CLI::IsMember(methods));
}

void AddRefineOption(CLI::App* command, bool& refine) {
  command->add_flag("!--no-refine", refine,
                    "sphere, contact: measure each triangle of the file at its incircle centre "
                    "alone, without refining long or large triangles first");
}

constexpr const char* kCarefulMethods =
    "Sphere and contact: before measuring, vexmor refines the triangles so that no edge is\n"
    "longer than a sixth of the local ray thickness (at most twice the triangles, or 100 000\n"
    "pieces on small meshes); each piece is measured at its incircle centre, the statistics\n"
    "are over the pieces weighted by area, and a face of the file reads (in -o files) the\n"
    "area-weighted mean of its pieces. --no-refine measures each triangle at one point.\n"
    "Contact is the distance from the tangent point to where the sphere touches the opposite\n"
    "wall: across a wall, its thickness. On round bodies the sphere touches the wall all\n"
    "around and that distance is a chord: pieces whose contact distance is below half their\n"
    "sphere diameter are counted as 'touching around a curve' and left out, not reported as\n"
    "thin (-o: touching_around_a_curve, the share of each face, and sphere_diameter).\n"
    "Missing is not zero: faces where no wall was found have no value, in the gradient too;\n"
    "with --outside, faces that see only the enclosing box are counted apart (-o: open_to_box)\n"
    "from the part's own clearances.";

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "vexmor: wall thickness, thickness gradient, draft and dihedral angles of a part's "
      "closed surface mesh.\nWith no arguments, runs 'analyze' on the bundled sample part.",
      "vexmor"};
  app.set_version_flag("--version", "vexmor 0.1.0");
  app.footer(std::string(kExitStatuses) + "\n\n" + kFormats);
  // Parse errors read like every other error of the program.
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("vexmor: error: ") + e.what() + "\nRun with --help for more information.\n";
  });
  app.require_subcommand(0, 1);
  Arguments a;

  auto* check = app.add_subcommand("check",
                                   "Sizes, face types, edges, defects and shells; "
                                   "whether and why the analyses would reject the mesh");
  AddCommonOptions(check, a, true,
                   "Write where the problems are to a .vtp, .ply or .csv file: boundary and "
                   "non-manifold edges as lines (edge_fault 1 and 2), faces flagged crossing, "
                   "lying_on_another_face, non_convex, long_thin, zero_area, uses_far_node, and "
                   "the far nodes");

  auto* thickness = app.add_subcommand(
      "thickness", "Wall thickness per face (per point for --method distance), in file units");
  AddCommonOptions(thickness, a, true);
  AddPictureOptions(thickness, a);
  AddMethodOption(thickness, a.method, true);
  SetFooter(
      thickness,
      std::string(
          "Methods: ray is the fast one, typically ten times faster than the others or more; it\n"
          "reads a wall's thickness straight across from each face. sphere and contact are the\n"
          "careful ones: they roll the largest sphere that fits at each face, which also "
          "measures\n"
          "corners, ribs and curved walls well, but they can take many minutes on a large, "
          "thick,\n"
          "finely meshed part (the progress line on the terminal shows what runs and for how\n"
          "long). distance measures how far given points (--points) lie from the surface.\n\n") +
          kCarefulMethods);
  AddRefineOption(thickness, a.thickness.refine);
  thickness->add_flag("--outside", a.thickness.outside,
                      "Measure the space between the part and an enclosing box (ray, contact)");
  thickness->add_option("--min", a.thickness.min, "Report the faces thinner than T")
      ->type_name("T");
  thickness->add_option("--max", a.thickness.max, "Report the faces thicker than T")
      ->type_name("T");
  thickness->add_option("--points", a.thickness.points,
                        "Query points for --method distance: a file of 'x y z' lines");

  auto* gradient = app.add_subcommand(
      "gradient", "Thickness gradient per face: mean relative thickness change to its neighbours");
  AddCommonOptions(gradient, a, true);
  AddPictureOptions(gradient, a);
  AddMethodOption(gradient, a.method, false);
  gradient->add_flag("--outside", a.gradient.outside,
                     "Take the thickness of the space around the part (ray, contact)");
  AddRefineOption(gradient, a.gradient.refine);
  SetFooter(gradient, kCarefulMethods);
  gradient->add_option("--max", a.gradient.max, "Report the faces whose gradient exceeds G")
      ->type_name("G");

  auto* draft = app.add_subcommand(
      "draft", "Draft angle per face against the mould's pull direction, in degrees");
  AddCommonOptions(draft, a, true);
  AddPictureOptions(draft, a);
  draft->add_option("--pull", a.pull,
                    "Pull direction as X,Y,Z or an axis such as z or -y (default 0,0,1)");
  draft
      ->add_option("--min-draft", a.draft.minDraft,
                   "Faces closer than this to the pull direction require draft (default 1)")
      ->type_name("DEG")
      ->check(InRange(0, 90, "0", "90"));

  auto* dihedral = app.add_subcommand(
      "dihedral", "Dihedral angle per edge (or largest per node), and sharp edge counts");
  AddCommonOptions(dihedral, a, true);
  AddPictureOptions(dihedral, a);
  dihedral->add_flag("--signed", a.dihedral.signedAngles,
                     "Signed angles: convex positive, concave negative");
  dihedral->add_flag("--per-node", a.dihedral.perNode, "The largest angle at each node");
  dihedral
      ->add_option("--sharp", a.dihedral.sharp,
                   "Edges at this angle or more count as sharp (default 30)")
      ->type_name("DEG")
      ->check(InRange(0, 180, "0", "180"));

  auto* analyze = app.add_subcommand(
      "analyze",
      "Check, thickness, gradient, draft and dihedral angles in one summary (by default ray "
      "thickness and draft along +z)");
  AddCommonOptions(analyze, a, false);
  AddPictureOptions(analyze, a);
  AddMethodOption(analyze, a.method, false);
  AddRefineOption(analyze, a.thickness.refine);
  analyze->add_flag("--outside", a.thickness.outside,
                    "Measure the space between the part and an enclosing box (ray, contact)");
  analyze->add_option("--min", a.thickness.min, "Report the faces thinner than T")->type_name("T");
  analyze->add_option("--max", a.thickness.max, "Report the faces thicker than T")->type_name("T");
  analyze->add_option("--pull", a.pull,
                      "Pull direction as X,Y,Z or an axis such as z or -y (default 0,0,1)");
  analyze
      ->add_option("--min-draft", a.draft.minDraft,
                   "Faces closer than this to the pull direction require draft (default 1)")
      ->type_name("DEG")
      ->check(InRange(0, 90, "0", "90"));
  analyze
      ->add_option("--sharp", a.dihedral.sharp,
                   "Edges at this angle or more count as sharp (default 30)")
      ->type_name("DEG")
      ->check(InRange(0, 180, "0", "180"));
  analyze
      ->add_option("--threads", a.threads,
                   "Analyses run at once on N threads; the summary is the same whatever N "
                   "(default: one per core; with several files, shared among the --jobs)")
      ->type_name("N")
      ->check(InRange(1, 1024, "1", "1024", true));

  auto* report = AddReportSubcommand(app, a.report, a.method, a.pull);
  SetFooter(report);
  report->add_flag("-q,--quiet", a.quiet, "No progress display on standard error");
  AddRepairOptions(report, a.report.common, a);

  auto* sample = app.add_subcommand("sample",
                                    "Write the bundled sample part (a moulded tray, "
                                    "millimetres) as .stl, .obj, .off or .ply");
  sample->add_option("-o,--output", a.sampleOutput, "The file to write")->required();
  sample->add_flag("--text", a.sampleText, "Text instead of binary for .stl and .ply");
  for (auto* command : {check, draft, dihedral, analyze, sample})
    SetFooter(command);

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitBadInput;
  }

  Progress::SetEnabled(!a.quiet);
  auto usage = [](const std::string& message) {
    std::fprintf(stderr, "vexmor: error: %s\nRun with --help for more information.\n",
                 message.c_str());
    return static_cast<int>(kExitBadInput);
  };
  const bool picturesAsked =
      !a.common.png.empty() || !a.common.svg.empty() || !a.common.pdf.empty();
  if (picturesAsked && !PicturesAvailable()) return usage(kNoPicturesMessage);
  const ThicknessMethod method = MethodFromName(a.method);
  if (!a.process.empty()) {
    // The process's angles and ratios apply unless given; its lengths wait for the file's unit.
    a.common.process = FindProcess(a.process);
    const auto& rules = *a.common.process;
    auto given = [&](const char* option) {
      const CLI::App* used = app.get_subcommands().empty() ? &app : app.get_subcommands()[0];
      return used->count(option) > 0;
    };
    if (rules.minDraft && !given("--min-draft")) a.draft.minDraft = *rules.minDraft;
    if (rules.maxGradient && !(*gradient && given("--max"))) a.gradient.max = rules.maxGradient;
  }
  CommonOptions& used = *report ? a.report.common : a.common;
  if (a.maxHoleEdges) used.repairOptions.maxHoleEdges = *a.maxHoleEdges;
  if (!used.repair && (used.repairOptions.mergeTolerance || a.maxHoleEdges)) {
    return usage("--merge-tolerance and --max-hole-edges go with --repair");
  }
  if (*report) {
    a.report.thickness.method = a.report.gradient.method = method;
    if (!ParsePull(a.pull, a.report.draft.pull)) return usage(PullError(a.pull));
    return RunReport(a.report);
  }
  if (*sample) return RunSample(a.sampleOutput, a.sampleText);
  // The options are checked once; then each file runs the subcommand with them.
  std::function<int(const CommonOptions&)> runOne;
  std::string command = "analyze";
  if (*thickness) {
    command = "thickness";
    a.thickness.method = method;
    if (a.thickness.outside &&
        (method == ThicknessMethod::kSphere || method == ThicknessMethod::kDistance)) {
      return usage("--outside works with --method ray or contact");
    }
    if (!a.thickness.points.empty() && method != ThicknessMethod::kDistance) {
      return usage("--points goes with --method distance");
    }
    runOne = [&](const CommonOptions& c) { return RunThickness(c, a.thickness); };
  } else if (*gradient) {
    command = "gradient";
    a.gradient.method = method;
    if (a.gradient.outside && method == ThicknessMethod::kSphere) {
      return usage("--outside works with --method ray or contact");
    }
    runOne = [&](const CommonOptions& c) { return RunGradient(c, a.gradient); };
  } else if (*check) {
    command = "check";
    runOne = [](const CommonOptions& c) { return RunCheck(c); };
  } else if (*draft) {
    command = "draft";
    if (!ParsePull(a.pull, a.draft.pull)) return usage(PullError(a.pull));
    runOne = [&](const CommonOptions& c) { return RunDraft(c, a.draft); };
  } else if (*dihedral) {
    command = "dihedral";
    runOne = [&](const CommonOptions& c) { return RunDihedral(c, a.dihedral); };
  } else {
    a.thickness.method = method;
    if (a.thickness.outside && method == ThicknessMethod::kSphere) {
      return usage("--outside works with --method ray or contact");
    }
    if (!ParsePull(a.pull, a.draft.pull)) return usage(PullError(a.pull));
    runOne = [&](const CommonOptions& c) {
      return RunAnalyze(c, a.thickness, a.gradient.max, a.draft, a.dihedral);
    };
  }
  const int cores = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  a.common.threads = a.threads > 0 ? a.threads : cores;
  std::error_code error;
  const bool many = a.files.size() > 1 ||
                    (a.files.size() == 1 && std::filesystem::is_directory(a.files[0], error));
  if (!many) {
    if (!a.files.empty()) a.common.file = a.files[0];
    return runOne(a.common);
  }
  for (const auto& [option, value] :
       {std::pair<const char*, const std::string*>{"-o", &a.common.output},
        {"--png", &a.common.png},
        {"--svg", &a.common.svg},
        {"--pdf", &a.common.pdf}}) {
    if (!value->empty()) {
      return usage(std::string(option) +
                   " names one file: give one mesh file with it, or leave it out for several");
    }
  }
  if (a.jobs < 1) a.jobs = cores;
  std::vector<std::string> files;
  try {
    files = ExpandInputs(a.files, a.recursive);
  } catch (const CommandError& e) {
    return usage(e.what());
  }
  // The files running at once share the threads, so that jobs times threads stays near the
  // larger of the two rather than their product.
  const int atOnce = static_cast<int>(std::min<size_t>(static_cast<size_t>(a.jobs), files.size()));
  a.common.threads = std::max(1, a.common.threads / std::max(atOnce, 1));
  return RunBatch(command, a.common, files, a.jobs, runOne);
}
