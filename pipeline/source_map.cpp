#include "pipeline/source_map.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "pipeline/compile_run.h"
#include "text/sjis.h"

namespace vostrel {

void SourceText::Reset(std::string bytes) {
  bytes_ = std::move(bytes);
  starts_.clear();
  indexed_ = false;
  path_.clear();
  size_ = lines_ = 0;
  block_.clear();
  blockIndex_ = SIZE_MAX;
  spans_.clear();
}

void SourceText::ReadAgainFrom(std::filesystem::path path, std::uint64_t size) {
  Reset({});
  path_ = std::move(path);
  size_ = size;
}

std::string_view SourceText::LineOfFile(std::int32_t n) const {
  if (!indexed_) {
    // One pass over the file: the start of every kStride-th line.
    indexed_ = true;
    std::ifstream file(path_, std::ios::binary);
    std::vector<char> chunk(std::size_t{1} << 20);
    std::uint64_t offset = 0;
    lines_ = 1;
    starts_.assign(1, 0);
    while (file && offset < size_) {
      file.read(chunk.data(), static_cast<std::streamsize>(std::min<std::uint64_t>(chunk.size(), size_ - offset)));
      const auto got = static_cast<std::size_t>(file.gcount());
      if (got == 0) break;
      for (const char* p = chunk.data(), *end = p + got;
           (p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p))));) {
        ++p;
        if (lines_++ % kStride == 0) starts_.push_back(static_cast<std::size_t>(offset) + static_cast<std::size_t>(p - chunk.data()));
      }
      offset += got;
    }
    if (offset < size_) lines_ = 0;  // the file is no longer what was loaded
  }
  if (n < 1 || static_cast<std::size_t>(n) > lines_) return {};
  const std::size_t index = static_cast<std::size_t>(n - 1) / kStride;
  if (index != blockIndex_) {
    const bool last = index + 1 == starts_.size();
    const std::size_t begin = starts_[index], end = last ? static_cast<std::size_t>(size_) : starts_[index + 1];
    block_.resize(end - begin);
    std::ifstream file(path_, std::ios::binary);
    file.seekg(static_cast<std::streamoff>(begin));
    if (!file.read(block_.data(), static_cast<std::streamsize>(block_.size()))) return {};
    blockIndex_ = index;
    spans_.clear();
    for (std::size_t from = 0;;) {
      const void* lf = from < block_.size() ? std::memchr(block_.data() + from, '\n', block_.size() - from) : nullptr;
      if (!lf) {
        if (last) spans_.push_back({from, block_.size()});
        break;
      }
      std::size_t to = static_cast<std::size_t>(static_cast<const char*>(lf) - block_.data());
      const std::size_t next = to + 1;
      if (to > from && block_[to - 1] == '\r') --to;
      spans_.push_back({from, to});
      from = next;
      if (from == block_.size() && !last) break;
    }
  }
  const std::size_t k = static_cast<std::size_t>(n - 1) % kStride;
  if (k >= spans_.size()) return {};
  return std::string_view(block_).substr(spans_[k].first, spans_[k].second - spans_[k].first);
}

std::string_view SourceText::Line(std::int32_t n) const {
  if (!path_.empty()) return LineOfFile(n);
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
