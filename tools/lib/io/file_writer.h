// Writes a result file whole or not at all.
#pragma once

#include <string>
#include <string_view>

namespace vexmor::cli {

// Writes the bytes to a new file beside `path` and renames it onto `path` once every byte is
// on disk, so that `path` is either the complete new file or, on any failure (a full disk, a
// file-size limit, a missing folder), exactly what it was before: absent or untouched. The
// temporary file is removed on failure. A file that is replaced keeps its permissions; a
// symbolic link is followed and its target replaced. Paths that are not regular files (a
// terminal, a pipe, /dev/null) are written in place, as nothing can be renamed onto them.
// Throws std::runtime_error "<path>: cannot write: <reason>".
void WriteFileBytes(const std::string& path, std::string_view bytes);

}  // namespace vexmor::cli
