#include "commands/batch.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>

#include "analysis/library_calls.h"
#include "analysis/progress.h"
#include "io/mesh_reader.h"
#include "report/report.h"

namespace vexmor::cli {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

// A file in a folder is taken when its name says mesh: .stl, ..., also with .gz after it.
bool HasMeshExtension(const fs::path& path) {
  std::string name = path.filename().string();
  std::transform(name.begin(), name.end(), name.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (name.ends_with(".gz")) name.resize(name.size() - 3);
  return FormatFromExtension(name).has_value();
}

std::string Number(const json& j, const char* key) {
  if (!j.is_object() || !j.contains(key) || !j[key].is_number()) return "-";
  return FormatValue(j[key].get<double>());
}

std::string Share(const json& j) {
  if (!j.is_object() || !j.contains("area_share")) return "-";
  return FormatPercent(j["area_share"].get<double>());
}

// The columns of one file's line, from its summary: what matters most of each analysis run.
std::vector<std::pair<std::string, std::string>> Columns(const std::string& command,
                                                         const json& s) {
  std::vector<std::pair<std::string, std::string>> c;
  c.push_back({"exit", std::to_string(s.value("exit_code", -1))});
  c.push_back({"faces", s.contains("faces") ? FormatCount(s["faces"].get<size_t>()) : "-"});
  const bool all = command == "analyze";
  if (command == "check" || all) {
    const json& k = s.value("check", json::object());
    c.push_back({"open edges", Number(k, "boundary_edges")});
    c.push_back({"verdict", !k.contains("accepted")     ? "-"
                            : k["accepted"].get<bool>() ? "ready"
                                                        : "rejected"});
  }
  if (command == "thickness" || all) {
    const json& v = s.value("thickness", json::object()).value("values", json::object());
    c.push_back({"thickness min", Number(v, "min")});
    c.push_back({"median", Number(v, "median")});
    c.push_back({"below min", v.contains("below_min")
                                  ? FormatPercent(v["below_min"]["share"].get<double>())
                                  : "-"});
  }
  if (command == "gradient" || all) {
    const json& v = s.value("gradient", json::object()).value("values", json::object());
    c.push_back({"gradient p95", Number(v, "p95")});
    c.push_back({"max", Number(v, "max")});
  }
  if (command == "draft" || all) {
    const json& d = s.value("draft", json::object());
    c.push_back({"releases", Share(d.value("positive", json::object()))});
    c.push_back({"needs draft", Share(d.value("requires_draft", json::object()))});
    c.push_back({"against pull", Share(d.value("negative", json::object()))});
  }
  if (command == "dihedral" || all) {
    const json& d = s.value("dihedral", json::object());
    const bool has = d.contains("sharp_convex");
    c.push_back({"sharp edges", has ? FormatCount(d["sharp_convex"].get<size_t>() +
                                                  d["sharp_concave"].get<size_t>())
                                    : "-"});
  }
  return c;
}

std::string Cell(std::string text, size_t width) {
  if (text.size() < width) text.insert(0, width - text.size(), ' ');
  return text;
}

// Standard output belongs to the table while the files run: the library's diagnostic lines,
// which go to standard output, are sent to /dev/null (or standard error with -v) meanwhile.
class TableOutput {
 public:
  explicit TableOutput(bool verbose) {
    std::fflush(stdout);
    saved_ = ::dup(STDOUT_FILENO);
#ifdef _WIN32
    const int sink = verbose ? ::dup(STDERR_FILENO) : ::open("NUL", O_WRONLY);
#else
    const int sink = verbose ? ::dup(STDERR_FILENO) : ::open("/dev/null", O_WRONLY);
#endif
    if (saved_ >= 0 && sink >= 0) ::dup2(sink, STDOUT_FILENO);
    if (sink >= 0) ::close(sink);
  }
  ~TableOutput() {
    std::fflush(stdout);
    if (saved_ >= 0) {
      ::dup2(saved_, STDOUT_FILENO);
      ::close(saved_);
    }
  }
  void print(const std::string& text) const {
    if (saved_ < 0) {
      std::fputs(text.c_str(), stdout);
      return;
    }
    size_t done = 0;
    while (done < text.size()) {
      const auto n = ::write(saved_, text.data() + done, text.size() - done);
      if (n <= 0) break;
      done += static_cast<size_t>(n);
    }
  }

 private:
  int saved_ = -1;
};

}  // namespace

std::vector<std::string> ExpandInputs(const std::vector<std::string>& arguments, bool recursive) {
  std::vector<std::string> files;
  for (const auto& argument : arguments) {
    std::error_code error;
    const fs::path path(argument);
    if (!fs::is_directory(path, error)) {
      files.push_back(argument);  // a missing file gets its own error line
      continue;
    }
    std::vector<std::string> found;
    auto take = [&](const fs::directory_entry& entry) {
      std::error_code e;
      if (entry.is_regular_file(e) && HasMeshExtension(entry.path())) {
        found.push_back(entry.path().string());
      }
    };
    if (recursive) {
      for (const auto& entry : fs::recursive_directory_iterator(
               path, fs::directory_options::skip_permission_denied, error)) {
        take(entry);
      }
    } else {
      for (const auto& entry : fs::directory_iterator(path, error))
        take(entry);
    }
    if (error)
      throw CommandError(kExitBadInput, argument + ": cannot list the folder: " + error.message());
    if (found.empty()) {
      throw CommandError(kExitBadInput,
                         argument + ": no mesh file in the folder" +
                             (recursive ? "" : " (--recursive looks in its subfolders too)"));
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

int RunBatch(const std::string& command, const CommonOptions& common,
             const std::vector<std::string>& files, int jobs,
             const std::function<int(const CommonOptions&)>& runOne) {
  Progress::SetEnabled(false);
  const size_t n = files.size();
  std::vector<json> summaries(n);
  std::vector<int> codes(n, 0);
  std::vector<char> done(n, 0);
  std::mutex mutex;
  std::condition_variable finished;
  std::atomic<size_t> next{0};
  auto work = [&] {
    for (size_t i = next++; i < n; i = next++) {
      CommonOptions options = common;
      options.file = files[i];
      json summary;
      options.capture = &summary;
      int code = kExitAnalysisFailed;
      try {
        code = runOne(options);
      } catch (const std::exception& e) {
        summary = {{"file", files[i]}, {"exit_code", code}, {"errors", {e.what()}}};
      }
      std::lock_guard lock(mutex);
      summaries[i] = std::move(summary);
      codes[i] = code;
      done[i] = 1;
      finished.notify_all();
    }
  };
  TableOutput out(common.verbose);
  size_t fileWidth = 4;
  for (const auto& f : files)
    fileWidth = std::max(fileWidth, f.size());
  std::vector<std::thread> workers;
  const size_t threads = std::clamp<size_t>(static_cast<size_t>(std::max(jobs, 1)), 1, n);
  for (size_t t = 0; t < threads; ++t)
    workers.emplace_back(work);
  int worst = kExitOk;
  size_t failed = 0, faces = 0;
  for (size_t i = 0; i < n; ++i) {
    {
      std::unique_lock lock(mutex);
      finished.wait(lock, [&] { return done[i] != 0; });
    }
    const json& s = summaries[i];
    worst = std::max(worst, codes[i]);
    if (codes[i] != kExitOk) ++failed;
    if (s.contains("faces")) faces += s["faces"].get<size_t>();
    if (common.json) {
      json line = s;
      line["file"] = files[i];
      out.print(line.dump() + "\n");
      continue;
    }
    const auto columns = Columns(command, s);
    std::string text;
    if (i == 0) {
      std::string header = "file";
      header.resize(fileWidth, ' ');
      for (const auto& [name, value] : columns)
        header += "  " + Cell(name, std::max<size_t>(name.size(), 9));
      out.print(header + "\n");
    }
    std::string row = files[i];
    row.resize(fileWidth, ' ');
    const bool readable = s.contains("command") && s.contains("faces");
    if (readable) {
      for (const auto& [name, value] : columns)
        row += "  " + Cell(value, std::max<size_t>(name.size(), 9));
    } else {
      row += "  " + Cell(std::to_string(codes[i]), 9);
    }
    for (const auto& error : s.value("errors", json::array()))
      row += "\n  vexmor: error: " + error.get<std::string>();
    out.print(row + "\n");
  }
  for (auto& w : workers)
    w.join();
  if (!common.json) {
    out.print("\n" + FormatCount(n) + " files: " + FormatCount(n - failed) + " exit 0, " +
              FormatCount(failed) + " with a non-zero exit status (the worst: " +
              std::to_string(worst) + "); " + FormatCount(faces) + " faces in all\n");
  }
  return worst;
}

}  // namespace vexmor::cli
