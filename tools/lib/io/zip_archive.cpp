#include "io/zip_archive.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <memory>

#include "io/read_error.h"

#if VEXMOR_READS_GZIP
#include <zlib.h>
#endif
#if VEXMOR_READS_PACKAGES
#include <zip.h>
#endif

namespace vexmor::cli {
namespace {

// Decompressed data beyond this is refused rather than risk exhausting memory on a crafted file.
constexpr uint64_t kMaxUncompressed = uint64_t{2} << 30;

bool EndsWithIgnoringCase(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() &&
         std::equal(suffix.begin(), suffix.end(), s.end() - suffix.size(),
                    [](char a, char b) { return std::tolower(a) == std::tolower(b); });
}

#if VEXMOR_READS_PACKAGES
struct ZipCloser {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct ZipFileCloser {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

std::unique_ptr<zip_t, ZipCloser> OpenArchive(std::string_view archive, std::string_view path) {
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source = zip_source_buffer_create(archive.data(), archive.size(), 0, &error);
  if (source == nullptr) {
    zip_error_fini(&error);
    FailInFile(path, "cannot open the ZIP archive");
  }
  zip_t* z = zip_open_from_source(source, ZIP_RDONLY, &error);
  if (z == nullptr) {
    zip_source_free(source);
    const std::string message = zip_error_strerror(&error);
    zip_error_fini(&error);
    FailInFile(path, "damaged ZIP archive: " + message);
  }
  zip_error_fini(&error);
  return std::unique_ptr<zip_t, ZipCloser>(z);
}
#else
[[noreturn]] void NoPackages(std::string_view path) {
  FailInFile(path,
             "a ZIP archive (3MF or zipped AMF), which this build of vexmor cannot read: it was "
             "built without lib3mf, libzip and expat");
}
#endif

}  // namespace

#if VEXMOR_READS_PACKAGES
std::vector<std::string> ZipEntryNames(std::string_view archive, std::string_view path) {
  auto z = OpenArchive(archive, path);
  std::vector<std::string> names;
  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(z.get(), static_cast<zip_uint64_t>(i), 0);
    if (name != nullptr) names.emplace_back(name);
  }
  return names;
}

std::string ZipEntryBytes(std::string_view archive, std::string_view path, std::string_view name) {
  auto z = OpenArchive(archive, path);
  const std::string entry(name);
  zip_stat_t stat;
  if (zip_stat(z.get(), entry.c_str(), 0, &stat) != 0) {
    FailInFile(path, "the ZIP archive has no entry " + entry);
  }
  if ((stat.valid & ZIP_STAT_SIZE) != 0 && stat.size > kMaxUncompressed) {
    FailInFile(path, entry + " is larger than 2 GiB once decompressed");
  }
  std::unique_ptr<zip_file_t, ZipFileCloser> file(zip_fopen(z.get(), entry.c_str(), 0));
  if (!file) FailInFile(path, "cannot open " + entry + " in the ZIP archive");
  std::string bytes;
  char buffer[1 << 16];
  zip_int64_t got = 0;
  while ((got = zip_fread(file.get(), buffer, sizeof buffer)) > 0) {
    bytes.append(buffer, static_cast<size_t>(got));
    if (bytes.size() > kMaxUncompressed) {
      FailInFile(path, entry + " is larger than 2 GiB once decompressed");
    }
  }
  if (got < 0) {
    FailInFile(path, "damaged ZIP archive: " + entry + ": " +
                         zip_error_strerror(zip_file_get_error(file.get())));
  }
  return bytes;
}

bool ZipHoldsAmf(std::string_view archive, std::string_view path) {
  bool amf = false;
  for (const auto& name : ZipEntryNames(archive, path)) {
    if (EndsWithIgnoringCase(name, ".model")) return false;
    amf = amf || EndsWithIgnoringCase(name, ".amf");
  }
  return amf;
}
#else
std::vector<std::string> ZipEntryNames(std::string_view, std::string_view path) {
  NoPackages(path);
}
std::string ZipEntryBytes(std::string_view, std::string_view path, std::string_view) {
  NoPackages(path);
}
bool ZipHoldsAmf(std::string_view, std::string_view path) {
  NoPackages(path);
}
#endif

std::string Gunzip(std::string_view compressed, std::string_view path) {
#if VEXMOR_READS_GZIP
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 32) != Z_OK) FailInFile(path, "cannot start zlib");
  std::string out;
  char buffer[1 << 16];
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data()));
  stream.avail_in = static_cast<uInt>(std::min<size_t>(compressed.size(), UINT32_MAX));
  size_t fed = stream.avail_in;
  int status = Z_OK;
  while (true) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
    if (out.size() > kMaxUncompressed) {
      inflateEnd(&stream);
      FailInFile(path, "larger than 2 GiB once decompressed");
    }
    if (stream.avail_in == 0 && fed < compressed.size()) {
      const size_t more = std::min<size_t>(compressed.size() - fed, UINT32_MAX);
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(compressed.data() + fed));
      stream.avail_in = static_cast<uInt>(more);
      fed += more;
    }
    if (status == Z_STREAM_END) {
      // Another gzip member may follow (files made with cat a.gz b.gz).
      if (stream.avail_in == 0 && fed == compressed.size()) break;
      if (inflateReset(&stream) != Z_OK) break;
      continue;
    }
    if (status != Z_OK && !(status == Z_BUF_ERROR && stream.avail_in > 0)) break;
  }
  const size_t consumed = fed - stream.avail_in;
  inflateEnd(&stream);
  if (status != Z_STREAM_END) {
    FailAtByte(path, consumed,
               status == Z_BUF_ERROR ? "truncated gzip stream" : "damaged gzip stream");
  }
  return out;
#else
  (void)compressed;
  FailInFile(path,
             "gzip-compressed, which this build of vexmor cannot read (built without zlib): "
             "decompress it first");
#endif
}

}  // namespace vexmor::cli
