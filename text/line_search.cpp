#include "text/line_search.h"

#include <algorithm>
#include <cstring>

#include "text/sjis.h"

namespace vostrel {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
unsigned char OtherCase(unsigned char c) { return static_cast<unsigned char>(c ^ 0x20); }

}  // namespace

LineSearch::LineSearch(std::string word, Coding coding, bool matchCase, Direction direction, std::size_t lineCount,
                       Place start)
    : word_(std::move(word)),
      foldable_(word_.size(), '\0'),
      coding_(coding),
      matchCase_(matchCase),
      direction_(direction),
      lineCount_(lineCount),
      start_(start),
      line_(start.line) {
  // Only a letter that is a character of its own folds: in Shift-JIS the
  // second byte of a double-byte character may look like a letter.
  if (!matchCase_) {
    for (std::size_t i = 0; i < word_.size();) {
      const std::size_t length = coding_ == Coding::ShiftJis ? sjis::CharLength(word_, i) : 1;
      if (length == 1 && IsAsciiLetter(static_cast<unsigned char>(word_[i]))) foldable_[i] = 1;
      i += length;
    }
  }
  if (word_.empty() || lineCount_ == 0) state_ = State::NotFound;
  if (start_.line >= lineCount_) {
    start_ = Place{};
    line_ = 0;
  }
}

bool LineSearch::MatchesAt(std::string_view line, std::size_t at) const {
  if (line.size() - at < word_.size()) return false;
  for (std::size_t i = 0; i < word_.size(); ++i) {
    const unsigned char want = static_cast<unsigned char>(word_[i]), have = static_cast<unsigned char>(line[at + i]);
    if (have != want && !(foldable_[i] && have == OtherCase(want))) return false;
  }
  return true;
}

std::size_t LineSearch::FirstIn(std::string_view line, std::size_t from) const {
  std::size_t boundary = 0;
  return FirstFrom(line, from, boundary);
}

std::size_t LineSearch::FirstFrom(std::string_view line, std::size_t from, std::size_t& boundary) const {
  if (word_.empty() || from > line.size() || line.size() - from < word_.size()) return npos;
  const char first = word_[0];
  const char other = foldable_[0] ? static_cast<char>(OtherCase(static_cast<unsigned char>(first))) : first;
  const std::size_t last = line.size() - word_.size();
  for (std::size_t at = from; at <= last;) {
    // The next place where the first byte (in either case) stands.
    const void* a = std::memchr(line.data() + at, first, last - at + 1);
    const void* b = other == first ? nullptr : std::memchr(line.data() + at, other, last - at + 1);
    const char* hit = static_cast<const char*>(!a ? b : !b ? a : std::min(a, b));
    if (!hit) return npos;
    at = static_cast<std::size_t>(hit - line.data());
    if (MatchesAt(line, at)) {
      // A Shift-JIS match begins on a character: walk the characters up
      // to it (once per line, however many places are tried). A UTF-8
      // word never begins with a continuation byte, so its matches do.
      if (coding_ != Coding::ShiftJis) return at;
      while (boundary < at) boundary += sjis::CharLength(line, boundary);
      if (boundary == at) return at;
    }
    ++at;
  }
  return npos;
}

std::size_t LineSearch::LastIn(std::string_view line, std::size_t before) const {
  std::size_t found = npos, boundary = 0;
  for (std::size_t at = FirstFrom(line, 0, boundary); at != npos && at < before; at = FirstFrom(line, at + 1, boundary))
    found = at;
  return found;
}

LineSearch::State LineSearch::Run(const std::function<std::string_view(std::size_t)>& lineAt, std::size_t budget) {
  std::size_t read = 0;
  // Every line once, and the start line a second time for its other part.
  while (state_ == State::Searching && read <= budget) {
    if (seen_ > lineCount_) {
      state_ = State::NotFound;
      break;
    }
    const std::string_view line = lineAt(line_);
    read += line.size() + 1;
    const bool startLine = seen_ == 0;
    std::size_t at;
    if (direction_ == Direction::Forward) at = FirstIn(line, startLine ? start_.byte : 0);
    else at = LastIn(line, startLine ? start_.byte : npos);
    if (at != npos) {
      match_ = {line_, at};
      state_ = State::Found;
      break;
    }
    ++seen_;
    if (direction_ == Direction::Forward) {
      if (++line_ == lineCount_) line_ = 0, wentRound_ = true;
    } else {
      if (line_ == 0) line_ = lineCount_, wentRound_ = true;
      --line_;
    }
  }
  return state_;
}

}  // namespace vostrel
