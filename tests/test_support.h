#pragma once
// Helpers shared by the tests.

#include <filesystem>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/finding.h"
#include "pipeline/headless_frame.h"

namespace vostrel::test {

// Wine now and then cannot lay out a new process's address space and gives
// up before the program runs at all ("failed to map the shared user data"):
// a fault of the machine, not of the program, which has touched no file.
inline bool WineDidNotStartTheProgram(std::string_view standardError) {
  return standardError.find("virtual_alloc_first_teb") != std::string_view::npos;
}

// A run with its own options and a headless frame, for driving stages.
struct StageHarness {
  RunOptions options;
  CompileRun run{options};
  HeadlessFrame frame{run};

  explicit StageHarness(TextLines lines = {}) {
    run.WorkLines = std::move(lines);
    run.CountLines();
  }

};

std::string ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const std::string& bytes);

// A finding at `line`, `column` of `file` (UTF-8), an error with no message.
inline Finding FindingAt(std::string file, std::int32_t line, std::int32_t column) {
  Finding finding;
  finding.file = std::move(file);
  finding.line = line;
  finding.column = column;
  return finding;
}

// A fresh empty folder below the system's temporary folder, removed when
// the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

// The folder of real NC programs, or nullopt when this clone has none.
std::optional<std::filesystem::path> CorpusDir();

// cp932 bytes from UTF-8 test text (fails the test when impossible).
std::string Sjis(const std::string& utf8);

}  // namespace vostrel::test
