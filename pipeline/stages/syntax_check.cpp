// 構文ﾁｪｯｸ: every word of two or more bytes outside parentheses must be on
// the word list ChkData.lst; unknown words are reported and counted.

#include <array>
#include <fstream>
#include <iterator>

#include "pipeline/compile_run.h"
#include "pipeline/source_map.h"
#include "pipeline/stage_frame.h"
#include "pipeline/stages/line_walk.h"
#include "pipeline/stages/stages.h"
#include "platform/read_file.h"
#include "text/path_text.h"
#include "text/sjis.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vostrel {

namespace {

// What each byte is to the word scan. The delimiters are ".0123456789#-+/*[]="
// space, TAB, "(", ")" and "$"; every other byte, both bytes of a
// double-byte character included, belongs to a word.
enum ByteClass : unsigned char { kWordByte, kDelimiter, kOpenRound, kCloseRound };

constexpr std::array<ByteClass, 256> MakeByteClasses() {
  std::array<ByteClass, 256> table{};
  for (char c : std::string_view(".0123456789#-+/*[]= \t$"))
    table[static_cast<unsigned char>(c)] = kDelimiter;
  table['('] = kOpenRound;
  table[')'] = kCloseRound;
  return table;
}
constexpr std::array<ByteClass, 256> kByteClass = MakeByteClasses();

bool HasLongWordByBytes(std::string_view line) {
  unsigned previous = 0, pair = 0;
  for (char c : line) {
    const unsigned word = kByteClass[static_cast<unsigned char>(c)] == kWordByte;
    pair |= previous & word;
    previous = word;
  }
  return pair != 0;
}

}  // namespace

// Most lines of a program ("X1.5 Y-2.") are settled by this branch-free
// pass; sixteen bytes a turn where the processor has the instructions.
bool HasLongWord(std::string_view line) {
#if defined(__SSE2__)
  const std::size_t n = line.size();
  if (n < 16) return HasLongWordByBytes(line);
  auto is = [](__m128i v, char c) { return _mm_cmpeq_epi8(v, _mm_set1_epi8(c)); };
  bool wordBefore = false;  // the byte before the block
  for (std::size_t o = 0;; o += 16) {
    // The last block ends at the line's end and may overlap the one before
    // it, whose pairs it then holds again.
    const std::size_t at = o + 16 <= n ? o : n - 16;
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(line.data() + at));
    // The delimiters (see kByteClass): "(" to "9" but ",", and "#$=[]",
    // space and TAB.
    const __m128i fromOpenRound = _mm_sub_epi8(v, _mm_set1_epi8('('));
    const __m128i inRange = _mm_cmpeq_epi8(_mm_min_epu8(fromOpenRound, _mm_set1_epi8('9' - '(')), fromOpenRound);
    const __m128i delimiter = _mm_or_si128(
        _mm_andnot_si128(is(v, ','), inRange),
        _mm_or_si128(_mm_or_si128(_mm_or_si128(is(v, '#'), is(v, '$')), _mm_or_si128(is(v, '='), is(v, ' '))),
                     _mm_or_si128(_mm_or_si128(is(v, '['), is(v, ']')), is(v, '\t'))));
    const unsigned words = ~static_cast<unsigned>(_mm_movemask_epi8(delimiter)) & 0xFFFFu;
    if ((words & (words >> 1)) != 0 || (at == o && wordBefore && (words & 1u) != 0)) return true;
    if (at + 16 >= n) return false;
    wordBefore = (words & 0x8000u) != 0;
  }
#else
  return HasLongWordByBytes(line);
#endif
}

bool ReadCheckWordList(const std::filesystem::path& path, WordSet& words, bool* systemFault) {
  std::string text;
  platform::ReadFault fault = platform::ReadFault::File;
  const bool read = platform::ReadWholeFile(path, text, nullptr, platform::Pipes::Refuse, &fault);
  if (systemFault) *systemFault = !read && fault == platform::ReadFault::System;
  if (!read) return false;
  words.clear();
  // CR LF, a lone CR and a lone LF each end an entry; the text after the
  // last line break is an entry only when it is not empty.
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    words.insert(std::string_view(text).substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) words.insert(std::string_view(text).substr(start));
  return true;
}

std::vector<std::string_view> UnknownWords(std::string_view line,
                                           const WordSet& words) {
  std::vector<std::string_view> unknown;
  if (!HasLongWord(line)) return unknown;
  bool outside = true;
  const auto* const begin = reinterpret_cast<const unsigned char*>(line.data());
  const auto* const end = begin + line.size();
  const auto* p = begin;
  for (;;) {
    while (p < end && kByteClass[*p] == kDelimiter) ++p;
    if (p == end) break;
    if (kByteClass[*p] == kOpenRound) {
      outside = false;
      ++p;
      continue;
    }
    if (kByteClass[*p] == kCloseRound) {
      outside = true;
      ++p;
      continue;
    }
    const auto* const start = p;
    do ++p;
    while (p < end && kByteClass[*p] == kWordByte);
    // The word before "(" is inside already; ")" ends the comment after it.
    if (p < end && kByteClass[*p] == kOpenRound) outside = false;
    if (p - start < 2 || !outside) continue;
    const auto offset = static_cast<std::size_t>(start - begin), length = static_cast<std::size_t>(p - start);
    const std::string_view word = line.substr(offset, length);
    if (!words.contains(word)) unknown.push_back(word);
  }
  return unknown;
}

StageEnd RunSyntaxCheck(CompileRun& run, StageFrame& frame) {
  const std::filesystem::path listPath =
      run.WordListPath.empty() ? run.ExeDir / "ChkData.lst" : run.WordListPath;
  bool systemFault = false;
  if (!ReadCheckWordList(listPath, run.CheckWordList, &systemFault)) {
    // Out of file descriptors is no fault of the word list.
    if (systemFault) frame.MarkStopAsFileError();
    Finding stop;
    stop.file = PathToUtf8(listPath);
    stop.stage = "構文ﾁｪｯｸ";
    frame.AbortRun(PathToUtf8(listPath) + " が読み込めません。\nコンパイルを中止します。",
                   "構文ﾁｪｯｸ -- 中止", {stop});
    return StageEnd::EndRun;
  }
  run.SyntaxErrorCount = 0;
  frame.StartProgress(run.LineCount);
  frame.AppendLog("構文ﾁｪｯｸ -- 開始");
  frame.ShowActivity("構文ﾁｪｯｸ中");
  frame.HighlightLine(1);

  // A line without two word bytes side by side has no word to look up.
  WalkLinesHolding(
      run, kHoldsLongWord, [&](std::int32_t n) { frame.HighlightLine(n); },
      [&](std::int32_t n) {
        const std::string_view line = run.Line(n);
        for (std::string_view word : UnknownWords(line, run.CheckWordList)) {
          frame.AppendFinding(std::to_string(n) + "行目 " + sjis::ToUtf8(word) + " 不明", [&](std::string message) {
            return LineFinding(run, Severity::Error, "構文ﾁｪｯｸ", n, std::move(message), word,
                               static_cast<std::size_t>(word.data() - line.data()));
          });
          ++run.SyntaxErrorCount;
        }
        return n;
      },
      [&](std::int32_t n) { frame.ShowLineProgress(n, "行目 :構文ﾁｪｯｸ中"); });
  frame.AppendLog("構文ﾁｪｯｸ -- 完了");
  frame.AppendLog("構文ｴﾗｰ数 = " + std::to_string(run.SyntaxErrorCount) + "件");
  frame.AppendLog("");
  return StageEnd::Continue;
}

}  // namespace vostrel
