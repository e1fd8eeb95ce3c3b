#include "pipeline/definition_parse.h"

#include <fstream>
#include <iterator>
#include <system_error>

#include "platform/read_file.h"
#include "text/path_text.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

#ifdef _WIN32
constexpr char kSeparator = '\\';
#else
constexpr char kSeparator = '/';
#endif

// The program's folder as it stands in for "..\": with a separator at the end.
std::string FolderText(const std::filesystem::path& exeDir) {
  std::string folder = PathToUtf8(exeDir);
  if (folder.empty() || (folder.back() != kSeparator && folder.back() != '/')) folder += kSeparator;
  return folder;
}

// The UTF-8 include path with `folder` in place of every "..\" (left to
// right, as ReplaceAll does) and every other backslash as `backslash`.
// Only "..\" with a backslash means the program's folder; "../" and any
// other ".." keep their ordinary meaning.
std::string SubstituteFolder(std::string_view path, std::string_view folder, char backslash) {
  std::string out;
  out.reserve(path.size() + folder.size());
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path.compare(i, 3, "..\\") == 0) {
      out += folder;
      i += 2;
    } else {
      out += path[i] == '\\' ? backslash : path[i];
    }
  }
  return out;
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
  return true;
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

// Decoding comes first: the second byte of a double-byte character may be
// 0x5C and must not be taken for a backslash.
std::string IncludePathShown(std::string_view includePath, const std::filesystem::path& exeDir) {
  return SubstituteFolder(sjis::ToUtf8(includePath), FolderText(exeDir), '\\');
}

std::filesystem::path ResolveIncludePath(std::string_view includePath,
                                         const std::filesystem::path& exeDir) {
  return PathFromUtf8(SubstituteFolder(sjis::ToUtf8(includePath), FolderText(exeDir), kSeparator));
}

bool ReadIncludeFile(const std::filesystem::path& path, std::string& bytes) {
  return !path.empty() && platform::ReadWholeFile(path, bytes);
}

}  // namespace vostrel
