#include "cli/diagnostics.h"

#include <cstdio>
#include <iostream>

#include <nlohmann/json.hpp>

#include "platform/atomic_file.h"
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

// The length of the well-formed UTF-8 character at the start of `text`
// (shortest form, no surrogates, at most U+10FFFF); 0 when it is none.
std::size_t Utf8CharLength(std::string_view text) {
  const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) length = 2;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, low = lead == 0xE0 ? 0xA0 : 0x80, high = lead == 0xED ? 0x9F : 0xBF;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, low = lead == 0xF0 ? 0x90 : 0x80, high = lead == 0xF4 ? 0x8F : 0xBF;
  else return 0;
  if (text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i)
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  return length;
}

void AppendEscape(std::string& out, const char* format, unsigned value) {
  char escape[8];
  std::snprintf(escape, sizeof escape, format, value);
  out += escape;
}

// A byte that is not part of well-formed UTF-8 (a file name in another
// encoding) is written as the escape \udcXX, XX being the byte: the line
// stays UTF-8 and the bytes can be told back. The JSON writer knows no such
// escape, so such a byte travels through it as a code point of the last
// private use plane (U+10FF00 + byte, 4 bytes F4 8F BC|BD|BE|BF XX), which
// is turned into the escape afterwards.
constexpr std::string_view kStrayBytePrefix = "\xF4\x8F";
bool HasStrayBytes(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (static_cast<unsigned char>(text[i]) < 0x80) continue;
    const std::size_t length = Utf8CharLength(text.substr(i));
    if (length == 0) return true;
    i += length - 1;
  }
  return false;
}
std::string MarkStrayBytes(std::string_view text) {
  if (!HasStrayBytes(text)) return std::string(text);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const std::size_t length = byte < 0x80 ? 1 : Utf8CharLength(text.substr(i));
    if (length == 0) {
      out += kStrayBytePrefix;
      out += static_cast<char>(0xBC | (byte >> 6));
      out += static_cast<char>(0x80 | (byte & 0x3F));
    } else {
      out.append(text.substr(i, length));
      i += length - 1;
    }
  }
  return out;
}
// The escapes of the writer as this program has always written them: the
// marked stray bytes as \udcXX, backspace and form feed as \u0008 and
// \u000c rather than \b and \f.
void UseHouseEscapes(std::string& json) {
  std::string out;
  out.reserve(json.size());
  for (std::size_t i = 0; i < json.size(); ++i) {
    const char c = json[i];
    if (c == '\\' && i + 1 < json.size()) {
      const char escaped = json[++i];
      if (escaped == 'b') out += "\\u0008";
      else if (escaped == 'f') out += "\\u000c";
      else out.append({c, escaped});
      continue;
    }
    const auto third = i + 3 < json.size() ? static_cast<unsigned char>(json[i + 2]) : 0;
    if (json.compare(i, kStrayBytePrefix.size(), kStrayBytePrefix) == 0 && third >= 0xBC && third <= 0xBF) {
      AppendEscape(out, "\\u%04x",
                   0xDC00u | ((third & 0x03u) << 6) | (static_cast<unsigned char>(json[i + 3]) & 0x3Fu));
      i += 3;
      continue;
    }
    out += c;
  }
  json.swap(out);
}

// Text of the gnu form: a control byte (a line break in a file name could
// forge a finding of its own) becomes \n, \r, \t or \xNN.
void AppendGnuText(std::string& out, std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x20 && byte != 0x7F) out += c;
    else if (c == '\n') out += "\\n";
    else if (c == '\r') out += "\\r";
    else if (c == '\t') out += "\\t";
    else AppendEscape(out, "\\x%02x", byte);
  }
}

}  // namespace

std::string FormatFinding(const Finding& finding, DiagnosticsOptions::Format format) {
  std::string out;
  if (format == DiagnosticsOptions::Format::Json) {
    // Members in this order; a line or column of 0 is null.
    const auto number = [](std::int32_t value) { return value > 0 ? nlohmann::ordered_json(value) : nullptr; };
    nlohmann::ordered_json object;
    object["file"] = MarkStrayBytes(finding.file);
    object["line"] = number(finding.line);
    object["column"] = number(finding.line > 0 ? finding.column : 0);
    object["severity"] = SeverityText(finding.severity);
    object["stage"] = MarkStrayBytes(finding.stage);
    object["message"] = MarkStrayBytes(finding.message);
    object["word"] = MarkStrayBytes(finding.word);
    out = object.dump();
    UseHouseEscapes(out);
    out += '\n';
    return out;
  }
  AppendGnuText(out, finding.file);
  if (finding.line > 0) {
    out += ':' + std::to_string(finding.line);
    if (finding.column > 0) out += ':' + std::to_string(finding.column);
  }
  out += ": ";
  out += SeverityText(finding.severity);
  out += ": ";
  AppendGnuText(out, finding.message);
  out += '\n';
  return out;
}

DiagnosticsWriter::DiagnosticsWriter(const DiagnosticsOptions& options) : options_(options) {}

bool DiagnosticsWriter::Open(std::string& error) {
  if (!options_.Writes()) return true;
  // By the output's link rules.
  std::filesystem::path target;
  std::string why;
  if (!platform::FollowWriteLinks(*options_.file, target, &why)) {
    error = PathToUtf8(*options_.file) + ": cannot write the diagnostics: " + why;
    return false;
  }
  file_.open(target, std::ios::binary | std::ios::trunc);
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
