// The report a designer opens in a browser: one self-contained HTML file that loads nothing
// from anywhere. It holds the check's verdict and counts; per analysis the statistics, the
// histogram (inline SVG), the text summary and the faces outside the thresholds (worst first);
// and an interactive 3D view (three.js with its orbit controls, inlined) of the part coloured
// by the chosen analysis, whose mesh and colour classes are inlined as base64 binary.
#pragma once

#include <string>
#include <vector>

#include "mesh/mesh.h"
#include "render/face_layers.h"
#include "report/report.h"

namespace vexmor::cli {

// At most this many faces outside the thresholds are listed per analysis.
constexpr size_t kListedFaces = 100;

std::string HtmlReport(const Report& report, const Mesh& mesh, const std::vector<FaceLayer>& layers,
                       const std::string& part);

// RFC 4648 base64, with padding and without line breaks.
std::string Base64(std::string_view bytes);
// Text as HTML shows it literally: & < > " ' escaped.
std::string HtmlEscape(std::string_view text);

}  // namespace vexmor::cli
