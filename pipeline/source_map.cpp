#include "pipeline/source_map.h"

#include <cstring>

#include "pipeline/compile_run.h"
#include "text/sjis.h"

namespace vostrel {

void SourceText::Reset(std::string bytes) {
  bytes_ = std::move(bytes);
  starts_.clear();
  indexed_ = false;
}

std::string_view SourceText::Line(std::int32_t n) const {
  if (!indexed_) {
    starts_.clear();
    starts_.push_back(0);
    const char* const data = bytes_.data();
    for (const char* p = data; (p = static_cast<const char*>(
                                    std::memchr(p, '\n', bytes_.size() - static_cast<std::size_t>(p - data))));) {
      ++p;
      starts_.push_back(static_cast<std::size_t>(p - data));
    }
    indexed_ = true;
  }
  if (n < 1 || static_cast<std::size_t>(n) > starts_.size()) return {};
  const std::size_t begin = starts_[static_cast<std::size_t>(n - 1)];
  std::size_t end = static_cast<std::size_t>(n) < starts_.size() ? starts_[static_cast<std::size_t>(n)] - 1
                                                                   : bytes_.size();
  if (end > begin && end < bytes_.size() && bytes_[end] == '\n' && bytes_[end - 1] == '\r') --end;
  return std::string_view(bytes_).substr(begin, end - begin);
}

std::int32_t CharColumn(std::string_view line, std::size_t offset) {
  // The characters that end at or before `offset`: a byte inside a
  // double-byte character is in the column of that character.
  std::int32_t column = 1;
  for (std::size_t i = 0, length; i < line.size() && i + (length = sjis::CharLength(line, i)) <= offset;
       i += length)
    ++column;
  return column;
}

namespace {

char Fold(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool MatchesAt(std::string_view line, std::size_t at, std::string_view word) {
  if (line.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k)
    if (Fold(line[at + k]) != Fold(word[k])) return false;
  return true;
}

// The next place to look at after byte i: the next character, or (for
// words the byte-wise checks find inside characters, such as a "[" that
// is the second byte of one) the next byte.
std::size_t Next(std::string_view line, std::size_t i, bool everyByte) {
  return everyByte ? i + 1 : i + sjis::CharLength(line, i);
}

std::size_t Find(std::string_view line, std::string_view word, std::size_t occurrence, bool everyByte) {
  if (word.empty()) return std::string_view::npos;
  for (std::size_t i = 0; i < line.size(); i = Next(line, i, everyByte)) {
    if (MatchesAt(line, i, word)) {
      if (occurrence == 0) return i;
      --occurrence;
    }
  }
  return std::string_view::npos;
}

std::size_t CountBefore(std::string_view line, std::string_view word, std::size_t offset, bool everyByte) {
  std::size_t count = 0;
  if (word.empty()) return 0;
  for (std::size_t i = 0; i < offset && i < line.size(); i = Next(line, i, everyByte))
    if (MatchesAt(line, i, word)) ++count;
  return count;
}

}  // namespace

std::size_t FindWord(std::string_view line, std::string_view word, std::size_t occurrence) {
  return Find(line, word, occurrence, false);
}

std::size_t WordsBefore(std::string_view line, std::string_view word, std::size_t offset) {
  return CountBefore(line, word, offset, false);
}

std::int32_t SourceColumn(std::string_view sourceLine, std::string_view workingLine,
                          std::string_view word, std::size_t offset) {
  // A word inside a character (a "[" that is a second byte) is looked for
  // at every byte first, any other at character starts first.
  std::size_t i = 0;
  while (i < offset && i < workingLine.size()) i += sjis::CharLength(workingLine, i);
  const bool inside = i != offset;
  for (const bool everyByte : {inside, !inside}) {
    std::size_t at = Find(sourceLine, word, CountBefore(workingLine, word, offset, everyByte), everyByte);
    if (at == std::string_view::npos) at = Find(sourceLine, word, 0, everyByte);
    if (at != std::string_view::npos) return CharColumn(sourceLine, at);
  }
  return 0;
}

Finding LineFinding(const CompileRun& run, Severity severity, std::string_view stage,
                    std::int32_t n, std::string message, std::string_view word, std::size_t offset) {
  Finding finding;
  finding.severity = severity;
  finding.line = run.SourceLineOf(n);
  finding.stage = stage;
  finding.message = std::move(message);
  finding.word = sjis::ToUtf8(word);
  const std::string_view working = run.Line(n);
  // A text given directly is its own source.
  const std::string_view source = run.Source.Empty() ? working : run.Source.Line(finding.line);
  if (finding.line > 0) finding.column = SourceColumn(source, working, word, offset);
  return finding;
}

Finding DefinitionFinding(const Definition& definition, Severity severity, std::string_view stage,
                          std::string message) {
  Finding finding;
  finding.severity = severity;
  finding.file = definition.SourceFile;
  finding.line = definition.SourceLine;
  finding.column = definition.SourceColumn;
  finding.stage = stage;
  finding.message = std::move(message);
  finding.word = sjis::ToUtf8(definition.Name);
  return finding;
}

}  // namespace vostrel
