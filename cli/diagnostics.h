#pragma once
// vostrelc's second channel beside the run log: the findings of a run, one
// line each, for editors and CI (--diagnostics gnu|json), and the verdict of
// --check.

#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "pipeline/finding.h"

namespace vostrel::cli {

struct DiagnosticsOptions {
  enum class Format { None, Gnu, Json };
  Format format = Format::None;
  std::optional<std::filesystem::path> file;  // --diagnostics-file; else standard error
  bool check = false;                         // --check: compile, write nothing, judge
  // Whether the run is to report findings at all.
  bool Wanted() const { return format != Format::None || check; }
  // Whether the findings go to a file.
  bool Writes() const { return format != Format::None && file.has_value(); }
};

// Takes argv[i] when it is one of the options above, with its value
// (advancing i); false when it is none of them. A bad value is reported in
// `error`.
bool TakeDiagnosticsArgument(const std::vector<std::string>& args, std::size_t& i, DiagnosticsOptions& options,
                             std::string& error);

// The usage lines of the options above.
extern const char* const kDiagnosticsUsage;

// One finding in the form `format` asks for, with its line end.
//   gnu:  FILE:LINE:COLUMN: error|warning|note: MESSAGE
//         (without ":COLUMN" when there is no column, without ":LINE" too
//         when there is no line)
//   json: {"file":..,"line":..,"column":..,"severity":..,"stage":..,
//          "message":..,"word":..} (line and column null when absent)
std::string FormatFinding(const Finding& finding, DiagnosticsOptions::Format format);

// Writes the findings of one run where the options say, and counts the
// errors among them.
class DiagnosticsWriter {
 public:
  explicit DiagnosticsWriter(const DiagnosticsOptions& options);
  // False (with `error`) when the diagnostics file cannot be opened.
  bool Open(std::string& error);
  void Write(const Finding& finding);
  // False when the file could not be written completely.
  bool Finish();
  int Errors() const { return errors_; }

 private:
  const DiagnosticsOptions& options_;
  std::ofstream file_;
  int errors_ = 0;
};

}  // namespace vostrel::cli
