// 外部定義ﾃﾞｰﾀ置換 and 定義ﾃﾞｰﾀ置換: defined names become their values.
//
// Names of two or more bytes are replaced as plain substrings of the whole
// text, longest names first and rows of one length in table order, so that a
// value inserted by one row is scanned again by every later row. One-byte
// names are replaced line by line from their scope line on, and only where
// they stand between delimiters. Where "@" + name occurs, the array form
// "@name[" becomes "#[" + value + "+" before the plain replacement.

#include <algorithm>
#include <cstring>
#include <functional>
#include <vector>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

std::size_t UsedRows(const CompileRun& run) {
  const auto count = static_cast<std::size_t>(run.DefinitionCount > 0 ? run.DefinitionCount : 0);
  return count < run.DefinitionTable.size() ? count : run.DefinitionTable.size();
}

// "0003: PITCH を 1.5 に置換中"
std::string ReplacingText(std::size_t row, const Definition& definition) {
  return StageFrame::LineNumberText(static_cast<std::int32_t>(row)) + ": " +
         sjis::ToUtf8(definition.Name) + " を " + sjis::ToUtf8(definition.Value) + " に置換中";
}

// True when `needle` occurs in `s` starting on a whole character (never at
// the second byte of a double-byte character).
bool ContainsAtCharStart(std::string_view s, std::string_view needle) {
  std::size_t cursor = 0;  // always the start of a character
  for (std::size_t p = sjis::FindBytes(s, needle); p != std::string_view::npos;
       p = sjis::FindBytes(s, needle, p + 1)) {
    while (cursor < p) cursor += sjis::CharLength(s, cursor);
    if (cursor == p) return true;
  }
  return false;
}

// The array form: "@" + name + "[" becomes "#[" + value + "+", then every
// other occurrence of the name becomes the value. Returns the number of
// replacements made.
std::size_t ExpandArray(std::string& text, std::string_view name, std::string_view value) {
  std::string open;
  open.reserve(name.size() + 2);
  open.append("@").append(name).append("[");
  std::string head;
  head.reserve(value.size() + 3);
  head.append("#[").append(value).append("+");
  const std::size_t arrays = sjis::ReplaceAllInPlace(text, open, head);
  return arrays + sjis::ReplaceAllInPlace(text, name, value);
}

// The bytes a one-byte name must stand between to be replaced.
constexpr std::string_view kNameDelimiters = ".0123456789#-+/*[]= \t()";

struct DelimiterTable {
  bool is[256] = {};
  constexpr DelimiterTable() {
    for (char c : kNameDelimiters) is[static_cast<unsigned char>(c)] = true;
  }
};
constexpr DelimiterTable kDelimiter;

bool IsDelimiter(char c) { return kDelimiter.is[static_cast<unsigned char>(c)]; }

// Every occurrence of the one-byte `name` in `line` whose neighbours are
// delimiters becomes `value`. At the start or end of the line only the one
// neighbour counts; a line that is the name alone stays. Neighbours are
// judged in the line as it was. `scratch` is reused between calls.
void ReplaceBetweenDelimiters(std::string& line, char name, std::string_view value,
                              std::string& scratch) {
  const std::size_t len = line.size();
  if (len < 2) return;
  const char* data = line.data();
  bool replaced = false;
  std::size_t copied = 0;
  for (const void* hit = std::memchr(data, name, len); hit;) {
    const std::size_t c = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    const bool before = c == 0 || IsDelimiter(data[c - 1]);
    const bool after = c + 1 == len || IsDelimiter(data[c + 1]);
    if (before && after) {
      if (!replaced) {
        scratch.clear();
        scratch.reserve(len + value.size() * 2);
        replaced = true;
      }
      scratch.append(data + copied, c - copied);
      scratch.append(value);
      copied = c + 1;
    }
    hit = c + 1 < len ? std::memchr(data + c + 1, name, len - c - 1) : nullptr;
  }
  if (!replaced) return;
  scratch.append(data + copied, len - copied);
  line.swap(scratch);
}

}  // namespace

StageEnd RunLongNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("外部定義ﾃﾞｰﾀ置換 -- 開始");

  const std::size_t rows = UsedRows(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  // The name lengths of two bytes or more that occur, longest first.
  std::vector<std::size_t> lengths;
  for (std::size_t i = 0; i < rows; ++i)
    if (table[i].Name.size() >= 2) lengths.push_back(table[i].Name.size());
  std::sort(lengths.begin(), lengths.end(), std::greater<>());
  lengths.erase(std::unique(lengths.begin(), lengths.end()), lengths.end());

  if (!lengths.empty()) {
    // The whole text stays one buffer for the whole pass and is set back
    // once at its end.
    std::string text = run.WholeText();
    bool changed = false;
    std::string arrayMark;
    for (const std::size_t length : lengths) {
      for (std::size_t i = 0; i < rows; ++i) {
        const Definition& definition = table[i];
        if (definition.Name.size() == length) {
          frame.ShowActivity(ReplacingText(i + 1, definition));
          if (sjis::FindBytes(text, definition.Name) != std::string::npos) {
            arrayMark.assign("@").append(definition.Name);
            const std::size_t count =
                sjis::FindBytes(text, arrayMark) != std::string::npos
                    ? ExpandArray(text, definition.Name, definition.Value)
                    : sjis::ReplaceAllInPlace(text, definition.Name, definition.Value);
            changed = changed || count > 0;
          }
        }
        frame.SetProgress(static_cast<std::int32_t>(i + 1));
      }
      frame.SetProgress(0);
    }
    if (changed) {
      run.SetWholeText(text);
      frame.WorkTextReplaced();
    }
  }

  frame.AppendLog("外部定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  frame.StartProgress(run.DefinitionCount);
  return StageEnd::Continue;
}

StageEnd RunOneByteNameReplacement(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 開始");

  const std::size_t rows = UsedRows(run);
  const std::vector<Definition>& table = run.DefinitionTable;
  std::string arrayMark, scratch;
  for (std::size_t i = 0; i < rows; ++i) {
    const Definition& definition = table[i];
    if (definition.Name.size() == 1) {
      frame.ShowActivity(ReplacingText(i + 1, definition));
      const char name = definition.Name[0];
      arrayMark.assign("@").append(definition.Name);
      for (std::int32_t r = std::max(definition.ScopeStartLine, 1); r <= run.LineCount; ++r) {
        std::string* line = run.MutableLine(r);
        if (!line || std::memchr(line->data(), name, line->size()) == nullptr) continue;
        if (ContainsAtCharStart(*line, arrayMark))
          ExpandArray(*line, definition.Name, definition.Value);
        else
          ReplaceBetweenDelimiters(*line, name, definition.Value, scratch);
      }
    }
    frame.SetProgress(static_cast<std::int32_t>(i + 1));
  }

  frame.AppendLog("定義ﾃﾞｰﾀ置換 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
