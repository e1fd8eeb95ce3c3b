#include "cli/diagnostics.h"

#include <cstdio>
#include <iostream>

#include "text/path_text.h"

namespace vostrel::cli {

const char* const kDiagnosticsUsage =
    "\nFindings for editors and CI:\n"
    "  --diagnostics FORMAT  also report every finding (bracket, unknown word,\n"
    "                    definition, every stop of the run) one per line, UTF-8,\n"
    "                    to standard error: gnu (FILE:LINE:COLUMN: error: MESSAGE)\n"
    "                    or json (one object per line)\n"
    "  --diagnostics-file FILE  write those lines to FILE instead\n"
    "  --check           compile without writing any output (instead of -o or\n"
    "                    --stdout); exit 0 without an error finding, 1 with one\n"
    "                    (a stop of the run, an unbalanced bracket or an unknown\n"
    "                    word)\n";

bool TakeDiagnosticsArgument(const std::vector<std::string>& args, std::size_t& i, DiagnosticsOptions& options,
                             std::string& error) {
  const std::string& arg = args[i];
  if (arg == "--check") {
    options.check = true;
    return true;
  }
  if (arg != "--diagnostics" && arg != "--diagnostics-file") return false;
  if (i + 1 >= args.size()) {
    error = arg + " needs a value";
    return true;
  }
  const std::string& value = args[++i];
  if (arg == "--diagnostics-file") {
    options.file = PathFromUtf8(value);
  } else if (value == "gnu") {
    options.format = DiagnosticsOptions::Format::Gnu;
  } else if (value == "json") {
    options.format = DiagnosticsOptions::Format::Json;
  } else {
    error = "--diagnostics takes gnu or json, not '" + value + "'";
  }
  return true;
}

namespace {

const char* SeverityText(Severity severity) {
  switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Note: return "note";
  }
  return "error";
}

// A JSON string: quotes, backslashes and control bytes escaped; the UTF-8
// text as it is otherwise.
void AppendJsonString(std::string& out, std::string_view text) {
  out += '"';
  for (char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

void AppendJsonNumber(std::string& out, std::int32_t value) {
  out += value > 0 ? std::to_string(value) : "null";
}

}  // namespace

std::string FormatFinding(const Finding& finding, DiagnosticsOptions::Format format) {
  std::string out;
  if (format == DiagnosticsOptions::Format::Json) {
    out += "{\"file\":";
    AppendJsonString(out, finding.file);
    out += ",\"line\":";
    AppendJsonNumber(out, finding.line);
    out += ",\"column\":";
    AppendJsonNumber(out, finding.line > 0 ? finding.column : 0);
    out += ",\"severity\":";
    AppendJsonString(out, SeverityText(finding.severity));
    out += ",\"stage\":";
    AppendJsonString(out, finding.stage);
    out += ",\"message\":";
    AppendJsonString(out, finding.message);
    out += ",\"word\":";
    AppendJsonString(out, finding.word);
    out += "}\n";
    return out;
  }
  out += finding.file;
  if (finding.line > 0) {
    out += ':' + std::to_string(finding.line);
    if (finding.column > 0) out += ':' + std::to_string(finding.column);
  }
  out += ": ";
  out += SeverityText(finding.severity);
  out += ": ";
  out += finding.message;
  out += '\n';
  return out;
}

DiagnosticsWriter::DiagnosticsWriter(const DiagnosticsOptions& options) : options_(options) {}

bool DiagnosticsWriter::Open(std::string& error) {
  if (options_.format == DiagnosticsOptions::Format::None || !options_.file) return true;
  file_.open(*options_.file, std::ios::binary | std::ios::trunc);
  if (!file_) error = PathToUtf8(*options_.file) + ": cannot write the diagnostics";
  return static_cast<bool>(file_);
}

void DiagnosticsWriter::Write(const Finding& finding) {
  if (finding.severity == Severity::Error) ++errors_;
  if (options_.format == DiagnosticsOptions::Format::None) return;
  const std::string line = FormatFinding(finding, options_.format);
  if (file_.is_open()) file_ << line;
  else std::cerr << line;
}

bool DiagnosticsWriter::Finish() { return !file_.is_open() || static_cast<bool>(file_.flush()); }

}  // namespace vostrel::cli
