// 括弧ﾁｪｯｸ: on every line "[" must occur as often as "]" and "(" as often
// as ")". Only the counts are compared, and unbalanced lines are reported
// without stopping the run. Brackets are counted on characters: the bytes
// 5B and 5D are also the second byte of many double-byte characters ("ー"
// 81 5B, "ゼ" 83 5B, "ゾ" 83 5D), and those are no brackets. The bytes of
// "(" and ")" are never a second byte.

#include <cstring>
#include <vector>

#include "pipeline/byte_masks.h"
#include "pipeline/compile_run.h"
#include "pipeline/source_map.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"
#include "text/sjis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vostrel {

namespace {

// The byte counts of the four brackets in one pass over the line.
BracketCounts CountBracketBytes(std::string_view line) {
  BracketCounts counts;
  const char* p = line.data();
  std::size_t n = line.size();
#if defined(__SSE2__)
  // Sixteen bytes a turn, the last few one by one.
  for (; n >= 16; p += 16, n -= 16) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    auto count = [v](char c) {
      return CountMaskBits(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, _mm_set1_epi8(c)))));
    };
    counts.openSquare += count('[');
    counts.closeSquare += count(']');
    counts.openRound += count('(');
    counts.closeRound += count(')');
  }
#endif
  for (std::size_t i = 0; i < n; ++i) {
    counts.openSquare += p[i] == '[';
    counts.closeSquare += p[i] == ']';
    counts.openRound += p[i] == '(';
    counts.closeRound += p[i] == ')';
  }
  return counts;
}

bool HoldsDoubleByteCharacter(std::string_view line) {
  for (const char c : line)
    if (sjis::IsLeadByte(static_cast<unsigned char>(c))) return true;
  return false;
}

// Square brackets, counted on characters; the line holds one of the bytes.
void CountSquareCharacters(std::string_view line, BracketCounts& counts) {
  counts.openSquare = counts.closeSquare = 0;
  for (std::size_t i = 0; i < line.size(); i += sjis::CharLength(line, i)) {
    counts.openSquare += line[i] == '[';
    counts.closeSquare += line[i] == ']';
  }
}

bool HasBracket(std::string_view line) {
  const BracketCounts counts = CountBrackets(line);
  return counts.openSquare + counts.closeSquare + counts.openRound + counts.closeRound > 0;
}

// The finding of an unbalanced line n, at its first bracket that has no
// partner: a closing one before any opening one is left, else the first
// opening one that is never closed.
Finding UnmatchedFinding(const CompileRun& run, std::int32_t n, std::string message, char open, char close) {
  const std::string_view line = run.Line(n);
  std::vector<std::size_t> opened;
  std::size_t at = std::string_view::npos;
  for (std::size_t i = 0; i < line.size() && at == std::string_view::npos; i += sjis::CharLength(line, i)) {
    if (line[i] == open) opened.push_back(i);
    else if (line[i] == close && opened.empty()) at = i;
    else if (line[i] == close) opened.pop_back();
  }
  if (at == std::string_view::npos && !opened.empty()) at = opened.front();
  if (at == std::string_view::npos) at = 0;
  return LineFinding(run, Severity::Error, "括弧ﾁｪｯｸ", n, std::move(message), line.substr(at, 1), at);
}

}  // namespace

BracketCounts CountBrackets(std::string_view line) {
  BracketCounts counts = CountBracketBytes(line);
  // Most lines hold no double-byte character: their byte count is exact.
  if (counts.openSquare + counts.closeSquare > 0 && HoldsDoubleByteCharacter(line))
    CountSquareCharacters(line, counts);
  return counts;
}

StageEnd RunBracketCheck(CompileRun& run, StageFrame& frame) {
  run.BracketErrorCount = 0;
  frame.StartProgress(run.LineCount);
  frame.AppendLog("括弧ﾁｪｯｸ -- 開始");
  frame.ShowActivity("括弧ﾁｪｯｸ中");
  frame.HighlightLine(1);

  // The whole-text pre-check, line by line; lines before the first one
  // with a bracket have none to count.
  std::int32_t first = 1;
  while (first <= run.LineCount && !(run.MayHold(first, kHoldsBracket) && HasBracket(run.Line(first))))
    ++first;

  if (first > run.LineCount) {
    frame.AppendLog("括弧ﾁｪｯｸ -- 無し");
  } else {
    // Lines before the first one with a bracket have none to count.
    WalkLinesHolding(
        run, kHoldsBracket, [&](std::int32_t n) { frame.HighlightLine(n); },
        [&](std::int32_t n) {
          if (n < first) return n;
          const BracketCounts counts = CountBrackets(run.Line(n));
        if (counts.openSquare != counts.closeSquare) {
          frame.AppendFinding(std::to_string(n) + "行目 []の数が合いません。",
                              [&](std::string message) { return UnmatchedFinding(run, n, std::move(message), '[', ']'); });
          ++run.BracketErrorCount;
        }
        if (counts.openRound != counts.closeRound) {
          frame.AppendFinding(std::to_string(n) + "行目 ()の数が合いません。",
                              [&](std::string message) { return UnmatchedFinding(run, n, std::move(message), '(', ')'); });
          ++run.BracketErrorCount;
        }
        return n;
        },
        [&](std::int32_t n) { frame.ShowLineProgress(n, "行目 :括弧ﾁｪｯｸ中"); });
  }
  frame.AppendLog("括弧ﾁｪｯｸ -- 完了");
  frame.AppendLog("括弧ｴﾗｰ数 = " + std::to_string(run.BracketErrorCount) + "件");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
