// 16進から10進: every "0X" constant becomes its decimal value; a line that
// holds one comes back upper-cased.

#include <cstdint>
#include <cstring>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

namespace vostrel {

namespace {

constexpr std::string_view kStage = "16進から10進";

// The bytes that continue a literal once it has begun ("X" included).
bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || c == 'X';
}

// True when the line holds "0X" once upper-cased. "0" is never part of a
// double-byte character, so the byte after it always starts a character of
// its own and a plain byte test is exact.
bool HasHexMarker(std::string_view line) {
  const char* data = line.data();
  std::size_t size = line.size();
  while (size >= 2) {
    const void* hit = std::memchr(data, '0', size - 1);
    if (!hit) return false;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
    if (data[at + 1] == 'X' || data[at + 1] == 'x') return true;
    data += at + 1;
    size -= at + 1;
  }
  return false;
}

// The decimal text of the literal `t` ("0X" + at least one digit), the bit
// pattern read as a signed 32-bit number; false when it is no 32-bit
// hexadecimal number (a second X, more than eight significant digits).
bool HexLiteralValue(std::string_view t, std::string& decimal) {
  std::string_view digits = t.substr(2);
  if (digits.find('X') != std::string_view::npos) return false;
  const std::size_t first = digits.find_first_not_of('0');
  digits = first == std::string_view::npos ? std::string_view() : digits.substr(first);
  if (digits.size() > 8) return false;
  std::uint32_t value = 0;
  for (char c : digits)
    value = value * 16 + static_cast<std::uint32_t>(c <= '9' ? c - '0' : c - 'A' + 10);
  decimal = std::to_string(static_cast<std::int32_t>(value));
  return true;
}

}  // namespace

HexLineResult ConvertHexLine(std::string_view line) {
  HexLineResult result;
  std::string upper(line);
  sjis::UpperCaseInPlace(upper);
  result.line = upper;
  std::string decimal;
  // The pending literal is always a run of `upper`: [start, start + length).
  std::size_t start = 0, length = 0;
  auto evaluate = [&]() -> bool {
    const std::string_view t = std::string_view(upper).substr(start, length);
    length = 0;
    if (t.size() <= 2 || t[1] != 'X') return true;  // "0", "00...", or just "0X"
    if (!HexLiteralValue(t, decimal)) {
      result.badLiteral = std::string(t);
      return false;
    }
    // Every occurrence of the literal's text in the line, not only this one.
    sjis::ReplaceAllInPlace(result.line, t, decimal);
    return true;
  };
  // Byte by byte: a lead byte is neither "0" nor a hex digit, so a
  // double-byte character always ends a pending literal and a trail byte
  // can never start one.
  for (std::size_t i = 0; i < upper.size(); ++i) {
    const char c = upper[i];
    if (length > 0 && IsHexDigit(c)) {
      ++length;
    } else if (c == '0' && length == 0) {
      start = i;
      length = 1;
    } else if (length > 0 && !evaluate()) {
      return result;
    }
  }
  if (length > 0) evaluate();
  return result;
}

StageEnd RunHexToDecimal(CompileRun& run, StageFrame& frame) {
  frame.AppendLog("16進から10進 -- 開始");
  frame.StartProgress(run.LineCount);
  frame.ShowActivity("16進から10進に変換");
  frame.HighlightLine(1);

  // The whole-text pre-check, line by line ("0X" cannot span a line end).
  // It also tells where the first line to rewrite is, so the loop below
  // looks at no line twice.
  std::int32_t first = 1;
  while (first <= run.LineCount && !HasHexMarker(run.Line(first))) ++first;

  if (first > run.LineCount) {
    frame.AppendLog("16進から10進 -- 無し");
  } else {
    bool changed = false;
    for (std::int32_t n = 1; n <= run.LineCount; ++n) {
      frame.HighlightLine(n);
      std::string* line = run.MutableLine(n);
      if (n >= first && line && HasHexMarker(*line)) {
        HexLineResult converted = ConvertHexLine(*line);
        if (!converted.badLiteral.empty()) {
          if (changed) frame.WorkTextReplaced();
          frame.AbortRun(sjis::ToUtf8(converted.badLiteral) +
                             " は16進数に変換できません。\nコンパイルを中止します。",
                         std::string(kStage) + " -- 中止");
          return StageEnd::EndRun;
        }
        *line = std::move(converted.line);
        changed = true;
      }
      frame.ShowLineProgress(n, "行目 :16進ﾃﾞｰﾀ検索中");
    }
    if (changed) frame.WorkTextReplaced();
  }
  frame.AppendLog("16進から10進 -- 完了");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
