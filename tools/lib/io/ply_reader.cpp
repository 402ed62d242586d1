// PLY: a text header declares elements (vertex, face, tristrips or anything else) with their
// counts and typed properties, then the data follows as text or as binary in either byte
// order. Coordinates may be of any numeric type and face lists of any count and index type.
// Every count is checked against the bytes present before anything is allocated for it.
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "io/mesh_reader.h"
#include "io/read_error.h"
#include "io/text_cursor.h"

namespace vexmor::cli {
namespace {

enum class PlyType { kInt8, kUint8, kInt16, kUint16, kInt32, kUint32, kFloat32, kFloat64 };
enum class Encoding { kText, kLittleEndian, kBigEndian };

std::optional<PlyType> ParseType(std::string_view name) {
  if (name == "char" || name == "int8") return PlyType::kInt8;
  if (name == "uchar" || name == "uint8") return PlyType::kUint8;
  if (name == "short" || name == "int16") return PlyType::kInt16;
  if (name == "ushort" || name == "uint16") return PlyType::kUint16;
  if (name == "int" || name == "int32") return PlyType::kInt32;
  if (name == "uint" || name == "uint32") return PlyType::kUint32;
  if (name == "float" || name == "float32") return PlyType::kFloat32;
  if (name == "double" || name == "float64") return PlyType::kFloat64;
  return std::nullopt;
}

size_t SizeOf(PlyType type) {
  switch (type) {
    case PlyType::kInt8:
    case PlyType::kUint8:
      return 1;
    case PlyType::kInt16:
    case PlyType::kUint16:
      return 2;
    case PlyType::kInt32:
    case PlyType::kUint32:
    case PlyType::kFloat32:
      return 4;
    case PlyType::kFloat64:
      return 8;
  }
  return 1;
}

bool IsInteger(PlyType type) {
  return type != PlyType::kFloat32 && type != PlyType::kFloat64;
}

struct Property {
  std::string name;
  PlyType type = PlyType::kFloat32;  // the item type for a list
  bool isList = false;
  PlyType countType = PlyType::kUint8;
};

struct Element {
  std::string name;
  uint64_t count = 0;
  std::vector<Property> properties;
  size_t line = 0;  // of its declaration in the header

  // The fewest bytes (binary) or characters (text) that one element can take.
  uint64_t smallestSize(Encoding encoding) const {
    uint64_t size = 0;
    for (const Property& p : properties)
      size += encoding == Encoding::kText ? 2 : SizeOf(p.isList ? p.countType : p.type);
    return size;
  }
  int find(std::string_view property) const {
    for (size_t i = 0; i < properties.size(); ++i) {
      if (properties[i].name == property) return static_cast<int>(i);
    }
    return -1;
  }
};

struct Header {
  Encoding encoding = Encoding::kText;
  std::vector<Element> elements;
  size_t dataOffset = 0;  // first byte after the header
  size_t dataLine = 0;    // line of the first data value in a text file
};

Header ParseHeader(std::string_view bytes, std::string_view path) {
  Header header;
  const size_t end = bytes.find("end_header");
  if (!bytes.starts_with("ply")) FailAtLine(path, 1, "expected 'ply' as the first line");
  if (end == std::string_view::npos) FailInFile(path, "the PLY header has no 'end_header' line");
  TextCursor in(path, bytes);
  in.skipLine();
  bool formatSeen = false;
  while (true) {
    if (in.atEnd()) in.fail("the PLY header has no 'end_header' line");
    const std::string_view key = in.wordInLine();
    if (key == "end_header") {
      if (!in.atLineEnd()) in.fail("expected the end of the line after 'end_header'");
      in.skipLine();
      header.dataOffset = static_cast<size_t>(in.position() - bytes.data());
      header.dataLine = in.line();
      break;
    }
    if (key == "format") {
      const std::string_view name = in.wordInLine();
      if (name == "ascii") {
        header.encoding = Encoding::kText;
      } else if (name == "binary_little_endian") {
        header.encoding = Encoding::kLittleEndian;
      } else if (name == "binary_big_endian") {
        header.encoding = Encoding::kBigEndian;
      } else {
        in.failFound("'ascii', 'binary_little_endian' or 'binary_big_endian'", name);
      }
      formatSeen = true;
    } else if (key == "element") {
      Element element;
      element.name = std::string(in.wordInLine());
      if (element.name.empty()) in.failFound("an element name", element.name);
      const int64_t count = in.integerInLine("the count of element '" + element.name + "'");
      if (count < 0) in.fail("the count of element '" + element.name + "' is negative");
      element.count = static_cast<uint64_t>(count);
      element.line = in.line();
      header.elements.push_back(std::move(element));
    } else if (key == "property") {
      if (header.elements.empty()) in.fail("a property is declared before any element");
      Property property;
      std::string_view type = in.wordInLine();
      if (type == "list") {
        property.isList = true;
        const std::string_view countType = in.wordInLine();
        const auto parsedCount = ParseType(countType);
        if (!parsedCount || !IsInteger(*parsedCount)) {
          in.failFound("an integer type for the list's count", countType);
        }
        property.countType = *parsedCount;
        type = in.wordInLine();
      }
      const auto parsed = ParseType(type);
      if (!parsed) in.failFound("a property type such as float, double, int or uchar", type);
      property.type = *parsed;
      property.name = std::string(in.wordInLine());
      if (property.name.empty()) in.failFound("a property name", property.name);
      header.elements.back().properties.push_back(std::move(property));
    } else if (key != "comment" && key != "obj_info" && !key.empty()) {
      in.failFound("a header line (format, element, property, comment or end_header)", key);
    }
    in.skipLine();
  }
  if (!formatSeen) FailAtLine(path, 2, "the PLY header has no 'format' line");
  return header;
}

// Reads the values of the data section one at a time, in the file's encoding, and says where
// it is when the data runs out or does not parse.
class DataReader {
 public:
  DataReader(std::string_view bytes, std::string_view path, const Header& header)
      : bytes_(bytes),
        path_(path),
        encoding_(header.encoding),
        pos_(header.dataOffset),
        text_(path, bytes.substr(header.dataOffset), header.dataLine) {}

  void setContext(const Element& element, uint64_t index) {
    element_ = &element;
    index_ = index;
  }

  double number(PlyType type) {
    if (encoding_ == Encoding::kText) {
      const std::string_view token = text_.word();
      if (IsInteger(type)) return static_cast<double>(integerToken(token, type));
      double value = 0;
      if (!TextCursor::ParseNumber(token, value)) failToken("a finite number", token);
      return value;
    }
    const size_t at = pos_;
    const double value = binary(type);
    if (!std::isfinite(value)) {
      FailAtByte(path_, at, context() + ": value is not a finite number");
    }
    return value;
  }

  // Moves past a value that is not needed, whatever it holds.
  void skip(PlyType type) {
    if (encoding_ == Encoding::kText) {
      const std::string_view token = text_.word();
      if (token.empty()) failToken("a value", token);
      return;
    }
    if (bytes_.size() - pos_ < SizeOf(type)) {
      FailAtByte(path_, bytes_.size(),
                 "the file ends inside " + context() + " (a " + std::to_string(SizeOf(type)) +
                     "-byte value starts at byte " + std::to_string(pos_) + ")");
    }
    pos_ += SizeOf(type);
  }

  int64_t integer(PlyType type) {
    if (encoding_ == Encoding::kText) return integerToken(text_.word(), type);
    const size_t at = pos_;
    const double value = binary(type);
    if (!IsInteger(type)) {
      if (value != std::floor(value) || std::fabs(value) > 9.0e15) {
        FailAtByte(path_, at, context() + ": expected a whole number");
      }
    }
    return static_cast<int64_t>(value);
  }

  // Bytes (or characters) left in the data section.
  uint64_t remaining() const {
    if (encoding_ == Encoding::kText) {
      return static_cast<uint64_t>(bytes_.data() + bytes_.size() - text_.position());
    }
    return bytes_.size() - pos_;
  }

  [[noreturn]] void fail(std::string_view what) const {
    if (encoding_ == Encoding::kText) text_.fail(context() + ": " + std::string(what));
    FailAtByte(path_, pos_, context() + ": " + std::string(what));
  }

  size_t endOffset() const {
    return encoding_ == Encoding::kText ? static_cast<size_t>(text_.position() - bytes_.data())
                                        : pos_;
  }

 private:
  std::string context() const {
    return element_ == nullptr ? std::string("data")
                               : "element '" + element_->name + "' " + std::to_string(index_) +
                                     " of " + std::to_string(element_->count);
  }

  [[noreturn]] void failToken(std::string_view expected, std::string_view token) const {
    if (token.empty()) {
      text_.fail(context() + ": expected " + std::string(expected) + ", found the end of the file");
    }
    text_.fail(context() + ": expected " + std::string(expected) + ", found " + Quoted(token));
  }

  int64_t integerToken(std::string_view token, PlyType type) {
    int64_t value = 0;
    if (!TextCursor::ParseInteger(token, value)) {
      double real = 0;
      if (!IsInteger(type) && TextCursor::ParseNumber(token, real) && real == std::floor(real) &&
          std::fabs(real) < 9.0e15) {
        return static_cast<int64_t>(real);
      }
      failToken("an integer", token);
    }
    return value;
  }

  template <typename T>
  T load() {
    if (bytes_.size() - pos_ < sizeof(T)) {
      FailAtByte(path_, bytes_.size(),
                 "the file ends inside " + context() + " (a " + std::to_string(sizeof(T)) +
                     "-byte value starts at byte " + std::to_string(pos_) + ")");
    }
    unsigned char raw[sizeof(T)];
    std::memcpy(raw, bytes_.data() + pos_, sizeof(T));
    pos_ += sizeof(T);
    const bool fileIsBig = encoding_ == Encoding::kBigEndian;
    if (fileIsBig != (std::endian::native == std::endian::big)) {
      for (size_t i = 0; i < sizeof(T) / 2; ++i)
        std::swap(raw[i], raw[sizeof(T) - 1 - i]);
    }
    T value;
    std::memcpy(&value, raw, sizeof(T));
    return value;
  }

  double binary(PlyType type) {
    switch (type) {
      case PlyType::kInt8:
        return load<int8_t>();
      case PlyType::kUint8:
        return load<uint8_t>();
      case PlyType::kInt16:
        return load<int16_t>();
      case PlyType::kUint16:
        return load<uint16_t>();
      case PlyType::kInt32:
        return load<int32_t>();
      case PlyType::kUint32:
        return load<uint32_t>();
      case PlyType::kFloat32:
        return load<float>();
      case PlyType::kFloat64:
        return load<double>();
    }
    return 0;
  }

  std::string_view bytes_;
  std::string_view path_;
  Encoding encoding_;
  size_t pos_;
  TextCursor text_;
  const Element* element_ = nullptr;
  uint64_t index_ = 0;
};

// Every element's count against the data that can hold it, before anything is reserved.
void CheckCountsFit(const Header& header, std::string_view bytes, std::string_view path) {
  const uint64_t available = bytes.size() - header.dataOffset;
  uint64_t needed = 0;
  for (const Element& e : header.elements) {
    const uint64_t size = e.smallestSize(header.encoding);
    if (size == 0) continue;
    if (e.count > available / size || needed + e.count * size > available + 1) {
      FailAtLine(path, e.line,
                 "the header announces " + std::to_string(e.count) + " '" + e.name +
                     "' elements of at least " + std::to_string(size) + " bytes each, but only " +
                     std::to_string(available - needed) + " bytes of data are left for them");
    }
    needed += e.count * size;
  }
}

}  // namespace

LoadedMesh ReadPly(std::string_view bytes, std::string_view path) {
  const Header header = ParseHeader(bytes, path);
  LoadedMesh loaded;
  loaded.format = header.encoding == Encoding::kText           ? "PLY (text)"
                  : header.encoding == Encoding::kLittleEndian ? "PLY (binary, little endian)"
                                                               : "PLY (binary, big endian)";
  CheckCountsFit(header, bytes, path);

  const Element* vertexElement = nullptr;
  for (const Element& e : header.elements) {
    if (e.name == "vertex") vertexElement = &e;
  }
  if (vertexElement == nullptr) FailInFile(path, "the PLY header declares no 'vertex' element");
  int axis[3];
  for (int k = 0; k < 3; ++k) {
    const char* name[3] = {"x", "y", "z"};
    axis[k] = vertexElement->find(name[k]);
    if (axis[k] < 0 || vertexElement->properties[static_cast<size_t>(axis[k])].isList) {
      FailAtLine(path, vertexElement->line,
                 std::string("the 'vertex' element has no '") + name[k] + "' property");
    }
  }
  const uint64_t nodeCount = vertexElement->count;
  if (nodeCount > static_cast<uint64_t>(std::numeric_limits<int32_t>::max())) {
    FailAtLine(path, vertexElement->line, "too many vertices for the library");
  }

  Mesh& mesh = loaded.mesh;
  DataReader in(bytes, path, header);
  std::vector<int32_t> list;
  for (const Element& e : header.elements) {
    const bool isVertex = &e == vertexElement;
    const bool isFace = e.name == "face";
    const bool isStrip = e.name == "tristrips";
    int listIndex = -1;
    if (isFace || isStrip) {
      listIndex = e.find("vertex_indices");
      if (listIndex < 0) listIndex = e.find("vertex_index");
      if (listIndex < 0 || !e.properties[static_cast<size_t>(listIndex)].isList) {
        FailAtLine(path, e.line,
                   "the '" + e.name + "' element has no 'vertex_indices' list property");
      }
    }
    if (e.properties.empty()) continue;  // nothing to read, whatever the count
    if (isVertex) mesh.coords.reserve(3 * e.count);
    if (isFace) {
      mesh.faceStart.reserve(e.count);
      mesh.elem.reserve(4 * e.count);
    }
    for (uint64_t i = 0; i < e.count; ++i) {
      in.setContext(e, i);
      double point[3] = {0, 0, 0};
      for (size_t p = 0; p < e.properties.size(); ++p) {
        const Property& property = e.properties[p];
        if (!property.isList) {
          int k = 0;
          while (k < 3 && !(isVertex && axis[k] == static_cast<int>(p)))
            ++k;
          if (k < 3) {
            point[k] = in.number(property.type);
          } else {
            in.skip(property.type);
          }
          continue;
        }
        const int64_t length = in.integer(property.countType);
        if (length < 0) in.fail("a list length is negative");
        const uint64_t itemSize = header.encoding == Encoding::kText ? 2 : SizeOf(property.type);
        if (static_cast<uint64_t>(length) > in.remaining() / itemSize + 1) {
          in.fail("a list of " + std::to_string(length) +
                  " items is longer than the rest of "
                  "the file");
        }
        const bool keep = static_cast<int>(p) == listIndex;
        list.clear();
        for (int64_t k = 0; k < length; ++k) {
          if (!keep) {
            in.skip(property.type);
            continue;
          }
          const int64_t index = in.integer(property.type);
          if (isStrip && index == -1) {
            list.push_back(-1);
            continue;
          }
          if (index < 0 || static_cast<uint64_t>(index) >= nodeCount) {
            in.fail("vertex index " + std::to_string(index) +
                    " is outside the vertices, numbered 0 to " +
                    std::to_string(static_cast<int64_t>(nodeCount) - 1));
          }
          list.push_back(static_cast<int32_t>(index));
        }
        if (!keep) continue;
        if (isFace) {
          if (list.size() < 3) {
            in.fail("a face needs at least 3 vertices, this one has " +
                    std::to_string(list.size()));
          }
          mesh.addFace(list);
        } else {
          // A strip gives triangle (s[j], s[j+1], s[j+2]) at each j, every second one turned
          // to keep the winding; -1 starts a new strip, and triangles with a repeated vertex
          // only join strips.
          size_t begin = 0;
          for (size_t j = 0; j <= list.size(); ++j) {
            if (j < list.size() && list[j] != -1) continue;
            for (size_t t = begin; t + 2 < j; ++t) {
              int32_t a = list[t], b = list[t + 1];
              const int32_t c = list[t + 2];
              if ((t - begin) % 2 == 1) std::swap(a, b);
              if (a != b && b != c && a != c) mesh.addFace({a, b, c});
            }
            begin = j + 1;
          }
        }
      }
      if (isVertex) mesh.addNode(point[0], point[1], point[2]);
    }
  }
  const size_t end = in.endOffset();
  if (end < bytes.size() && header.encoding != Encoding::kText) {
    loaded.notes.push_back(std::to_string(bytes.size() - end) +
                           " bytes after the last element were ignored");
  }
  return loaded;
}

}  // namespace vexmor::cli
