// --png, --svg and --pdf: after a command's analyses, the picture of their results in each
// format asked for. Failures are recorded on the session (the summary still prints).
#pragma once

#include "commands/session.h"

namespace vexmor::cli {

void WriteRequestedPictures(Session& session);

// The file's length unit as pictures and reports name it: the sample part is in millimetres,
// a file's unit is whatever it was drawn in.
std::string LengthUnitOf(const Session& session);

}  // namespace vexmor::cli
