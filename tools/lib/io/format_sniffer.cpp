#include "io/format_sniffer.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>

#include "io/read_error.h"
#include "io/text_cursor.h"
#include "io/zip_archive.h"

namespace vexmor::cli {
namespace {

bool IsSpaceOrLineEnd(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// Binary data: a NUL byte, or many control bytes, among the first few hundred.
bool LooksBinary(std::string_view bytes) {
  const std::string_view head = bytes.substr(0, 512);
  size_t control = 0;
  for (unsigned char c : head) {
    if (c == 0) return true;
    if (c < 32 && !IsSpaceOrLineEnd(static_cast<char>(c))) ++control;
  }
  return control * 10 > head.size();
}

bool IsBinaryStlBySize(std::string_view bytes) {
  if (bytes.size() < 84) return false;
  uint32_t count = 0;
  std::memcpy(&count, bytes.data() + 80, 4);  // little endian, as on every host we build for
  return 84 + 50 * static_cast<uint64_t>(count) == bytes.size();
}

// The first word of a text, up to a blank.
std::string_view FirstWord(std::string_view text) {
  size_t end = 0;
  while (end < text.size() && !IsSpaceOrLineEnd(text[end]))
    ++end;
  return text.substr(0, end);
}

// OFF's header keyword: OFF with optional ST, C, N, 4 and n prefixes (COFF, NOFF, 4OFF, ...).
bool IsOffKeyword(std::string_view word) {
  if (word.size() < 3 || word.size() > 8 || !word.ends_with("OFF")) return false;
  return std::all_of(word.begin(), word.end() - 3, [](char c) {
    return c == 'S' || c == 'T' || c == 'C' || c == 'N' || c == '4' || c == 'n';
  });
}

// The OBJ statements that can open a file's first line that is not a comment.
bool IsObjKeyword(std::string_view word) {
  static constexpr std::string_view kKeywords[] = {"v", "vt", "vn", "vp", "f",      "l",
                                                   "p", "o",  "g",  "s",  "mtllib", "usemtl"};
  return std::find(std::begin(kKeywords), std::end(kKeywords), word) != std::end(kKeywords);
}

// The text from its first line that is neither blank nor a '#' comment; empty if none.
std::string_view AfterComments(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsSpaceOrLineEnd(text[i]))
      ++i;
    if (i == text.size() || text[i] != '#') return text.substr(i);
    const size_t end = text.find('\n', i);
    if (end == std::string_view::npos) return {};
    i = end + 1;
  }
  return {};
}

// An OBJ file: its first line that is neither blank nor a comment is an OBJ statement.
bool LooksLikeObj(std::string_view text) {
  const std::string_view rest = AfterComments(text);
  return !rest.empty() && IsObjKeyword(FirstWord(rest.substr(0, 16)));
}

}  // namespace

Sniffed SniffContent(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1f &&
      static_cast<unsigned char>(bytes[1]) == 0x8b) {
    return {Content::kGzip, {}, {}};
  }
  if (bytes.starts_with("PK\x03\x04")) return {Content::kZip, {}, {}};
  // A binary STL has no magic number; its exact size tells it, whatever its header says.
  if (IsBinaryStlBySize(bytes)) return {Content::kMesh, MeshFormat::kStl, {}};
  if (bytes.starts_with("ply\n") || bytes.starts_with("ply\r\n")) {
    return {Content::kMesh, MeshFormat::kPly, {}};
  }
  std::string_view text = bytes;
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);  // a UTF-8 byte order mark
  size_t i = 0;
  while (i < text.size() && IsSpaceOrLineEnd(text[i]))
    ++i;
  text.remove_prefix(i);
  if (text.empty()) return {Content::kEmpty, {}, {}};
  if (LooksBinary(bytes)) return {Content::kUnsure, {}, {}};
  const std::string head = Lowercase(text.substr(0, 8));
  if (head.starts_with("solid")) {
    // Text STL: the line after "solid name" opens a facet, ends the solid, or is the end. A
    // truncated binary STL whose header starts with "solid" fails this.
    const size_t lineEnd = text.find('\n');
    size_t j = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
    while (j < text.size() && IsSpaceOrLineEnd(text[j]))
      ++j;
    const std::string next = Lowercase(text.substr(j, 8));
    if (j == text.size() || next.starts_with("facet") || next.starts_with("endsolid")) {
      return {Content::kMesh, MeshFormat::kStl, {}};
    }
  }
  if (IsOffKeyword(FirstWord(AfterComments(text).substr(0, 16)))) {
    return {Content::kMesh, MeshFormat::kOff, {}};
  }
  if (text.starts_with("#VRML")) return {Content::kNotAMesh, {}, "a VRML scene"};
  if (text.starts_with("<")) {
    if (Lowercase(text.substr(0, 4096)).find("<amf") != std::string::npos) {
      return {Content::kMesh, MeshFormat::kAmf, {}};
    }
    return {Content::kNotAMesh, {}, "XML that is not AMF"};
  }
  if (LooksLikeObj(text)) return {Content::kMesh, MeshFormat::kObj, {}};
  return {Content::kNotAMesh, {}, "text that is no STL, OBJ, OFF or PLY"};
}

MeshFormat ChooseFormat(std::string_view bytes, std::string_view path,
                        std::string_view nameForExtension) {
  const Sniffed sniffed = SniffContent(bytes);
  const auto extension = FormatFromExtension(nameForExtension);
  switch (sniffed.content) {
    case Content::kEmpty:
      FailInFile(path, "empty file");
    case Content::kMesh:
      return *sniffed.format;
    case Content::kZip:
      // 3MF is a ZIP archive; so is a zipped AMF.
      return ZipHoldsAmf(bytes, path) ? MeshFormat::kAmf : MeshFormat::k3mf;
    case Content::kGzip:
      FailInFile(path, "gzip-compressed twice");
    case Content::kNotAMesh:
      FailInFile(path, "not a mesh file (" + std::string(sniffed.what) +
                           "): vexmor reads STL, OBJ, OFF, PLY, 3MF and AMF, gzip-compressed or "
                           "not");
    case Content::kUnsure:
      break;
  }
  // Binary bytes without a magic number: a damaged binary STL or PLY says where it broke.
  if (extension == MeshFormat::kStl || extension == MeshFormat::kPly) return *extension;
  FailInFile(path,
             "not a mesh file (binary data of no mesh format): vexmor reads STL, OBJ, OFF, PLY, "
             "3MF and AMF, gzip-compressed or not");
}

}  // namespace vexmor::cli
