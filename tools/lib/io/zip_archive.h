// Reading ZIP archives held in memory (3MF packages, zipped AMF), and gzip streams. Without
// the libraries (the Windows build) each says so in a ReadError naming the file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vexmor::cli {

// The names of the archive's entries, in their order in the archive.
std::vector<std::string> ZipEntryNames(std::string_view archive, std::string_view path);
// The uncompressed bytes of one entry.
std::string ZipEntryBytes(std::string_view archive, std::string_view path, std::string_view name);
// True when the archive holds an AMF file and no 3MF model.
bool ZipHoldsAmf(std::string_view archive, std::string_view path);

// The uncompressed bytes of a gzip stream (concatenated members too).
std::string Gunzip(std::string_view compressed, std::string_view path);

}  // namespace vexmor::cli
