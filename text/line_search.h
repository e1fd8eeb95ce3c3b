#pragma once
// Searching a list of text lines for a word, a slice at a time, so that a
// window can look through millions of lines without stopping: each call of
// Run() looks at about a given number of bytes and says whether it found
// the word, went round the whole list, or has more to do.
//
// Lines are Shift-JIS or UTF-8 bytes; a match starts on a character, never
// on the second byte of a double-byte character. Without `matchCase`, the
// ASCII letters of the word match either case; every other character
// matches only itself.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace vostrel {

class LineSearch {
 public:
  enum class Coding { ShiftJis, Utf8 };
  enum class Direction { Forward, Backward };
  struct Place {
    std::size_t line = 0;
    std::size_t byte = 0;  // offset of the match in its line
  };
  enum class State { Searching, Found, NotFound };

  // Looks for `word` (in the lines' coding) among `lineCount` lines, from
  // `start`: forward, the first match at or after start.byte of its line;
  // backward, the last match that begins before start.byte. Past the last
  // (or first) line the search goes round to the other end, once.
  LineSearch(std::string word, Coding coding, bool matchCase, Direction direction, std::size_t lineCount,
             Place start);

  // Looks through lines until about `budget` bytes have been read, a match
  // is found or every line has been seen. `lineAt` gives line i.
  State Run(const std::function<std::string_view(std::size_t)>& lineAt, std::size_t budget);

  State Current() const { return state_; }
  Place Match() const { return match_; }  // valid when Found
  bool WentRound() const { return wentRound_; }  // the match lies past the end (or start) of the list
  std::size_t LinesSeen() const { return seen_; }
  std::size_t WordSize() const { return word_.size(); }
  Direction Heading() const { return direction_; }

  // The matches of the word in `line`: the first at or after `from`, or
  // the last before `before` (npos when none). Exposed for the tests.
  std::size_t FirstIn(std::string_view line, std::size_t from) const;
  std::size_t LastIn(std::string_view line, std::size_t before) const;

 private:
  bool MatchesAt(std::string_view line, std::size_t at) const;  // the bytes, in either case where allowed
  // FirstIn, given a character start `boundary` <= `from`, which it moves on.
  std::size_t FirstFrom(std::string_view line, std::size_t from, std::size_t& boundary) const;

  std::string word_;
  std::string foldable_;  // 1 where the word has an ASCII letter that matches either case
  Coding coding_;
  bool matchCase_;
  Direction direction_;
  std::size_t lineCount_;
  Place start_;
  std::size_t line_;     // the line to look at next
  std::size_t seen_ = 0;  // lines looked at so far (the start line counts twice: its two parts)
  bool wentRound_ = false;
  State state_ = State::Searching;
  Place match_;
};

}  // namespace vostrel
