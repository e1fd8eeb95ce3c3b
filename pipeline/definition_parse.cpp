#include "pipeline/definition_parse.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "pipeline/source_map.h"
#include "platform/read_file.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

// Every occurrence of `old` replaced, left to right, without rescans (for
// UTF-8 text, where no Shift-JIS rule applies).
void ReplacePlain(std::string& text, std::string_view old, std::string_view repl) {
  for (std::size_t p = text.find(old); p != std::string::npos; p = text.find(old, p + repl.size()))
    text.replace(p, old.size(), repl);
}

}  // namespace

bool IsDefinitionLine(std::string_view line, std::string_view startChar) {
  return line.size() >= 2 && sjis::FindBytes(line, startChar) != std::string_view::npos;
}

std::string_view TrimBlanks(std::string_view text) {
  auto blank = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  std::size_t begin = 0, end = text.size();
  while (begin < end && blank(text[begin])) ++begin;
  while (end > begin && blank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

bool ParseDefinitionLine(std::string_view line, std::string_view startChar, int scopeStartLine,
                         Definition& out) {
  const std::size_t at = sjis::FindBytes(line, startChar);
  if (at == std::string_view::npos) return false;
  // Only the byte 0x20 separates: spaces before the name are skipped, the
  // first space after it ends the name. Bytes before the start character
  // play no part.
  std::size_t i = at + startChar.size();
  while (i < line.size() && line[i] == ' ') ++i;
  const std::size_t nameStart = i;
  while (i < line.size() && line[i] != ' ') ++i;
  if (i == nameStart || i == line.size()) return false;

  out.Name.assign(line.substr(nameStart, i - nameStart));
  out.NameLength = static_cast<int>(out.Name.size());
  const std::string_view value = TrimBlanks(line.substr(i + 1));
  if (out.NameLength == 1) {
    // One-byte names carry "$" markers around their value; the space
    // removal deletes them later.
    out.Value.assign("$").append(value).append("$");
  } else {
    out.Value.assign(value);
  }
  out.ScopeStartLine = scopeStartLine;
  out.SourceColumn = CharColumn(line, nameStart);
  return true;
}

Finding EmptyDefinitionFinding(std::string file, std::int32_t line, std::string_view stage) {
  Finding finding;
  finding.severity = Severity::Warning;
  finding.file = std::move(file);
  finding.line = line;
  finding.column = 1;
  finding.stage = stage;
  finding.message = std::to_string(line) + "行目 定義の無い定義行です。";
  return finding;
}

void StoreDefinition(CompileRun& run, Definition definition) {
  if (definition.NameLength > run.MaxNameLength) run.MaxNameLength = definition.NameLength;
  run.DefinitionTable.push_back(std::move(definition));
}

std::vector<std::string> SplitIncludeText(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\r' && bytes[i] != '\n') continue;
    lines.emplace_back(bytes.substr(start, i - start));
    if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < bytes.size()) lines.emplace_back(bytes.substr(start));
  for (std::string& line : lines)
    for (char& c : line)
      if (c == '\t') c = ' ';
  return lines;
}

std::string IncludePathAsWritten(std::string_view line, std::string_view directive) {
  std::string path(line);
  sjis::ReplaceAllInPlace(path, directive, "");
  return std::string(TrimBlanks(path));
}

std::filesystem::path ResolveIncludePath(std::string_view includePath,
                                         const std::filesystem::path& exeDir) {
  // Decoding comes first: the second byte of a double-byte character may be
  // 0x5C and must not be taken for a backslash.
  std::string path = sjis::ToUtf8(includePath);
  const std::u8string dirText = exeDir.u8string();
  std::string folder(dirText.begin(), dirText.end());
#ifdef _WIN32
  if (folder.empty() || (folder.back() != '\\' && folder.back() != '/')) folder += '\\';
  ReplacePlain(path, "..\\", folder);
#else
  for (char& c : path)
    if (c == '\\') c = '/';
  if (folder.empty() || folder.back() != '/') folder += '/';
  ReplacePlain(path, "../", folder);
#endif
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

bool ReadIncludeFile(const std::filesystem::path& path, std::string& bytes) {
  return !path.empty() && platform::ReadWholeFile(path, bytes);
}

}  // namespace vostrel
