#pragma once
// One line of a compiled program read for renumbering: what kind of line it
// is, where its N word stands, and the jumps and calls it holds, each with
// the byte range of its number in the line as stored.
//
// The block is read as the toolpath interpreter reads it: upper case,
// spaces and remarks `( ... )` left out, up to a `;`; an optional block
// skip `/` or `/n`, then the sequence number; IF[...]GOTO, GOTO and
// IF[...]THEN as statements, and address words whose values may be
// bracketed expressions.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vostrel::renumber {

enum class LineKind : std::uint8_t {
  Blank,         // nothing to execute: empty, spaces or remarks only
  Percent,       // `%`
  ProgramStart,  // an O number (or `:` number) at the start of the line
  Block,
};

enum class ReferenceKind : std::uint8_t {
  Goto,         // GOTO n, IF[...]GOTO n
  MacroBranch,  // G65 H80 P n to G65 H86 P n
  LocalCall,    // M97 P n: a block of the same program
  Return,       // M99 P n
  Call,         // M98 P, G65 P, G66 P: a program number
};

struct Reference {
  ReferenceKind kind = ReferenceKind::Goto;
  bool computed = false;      // a variable or an expression, not a number
  std::uint32_t at = 0;       // the number's bytes in the stored line
  std::uint32_t length = 0;
  std::int64_t value = 0;     // the number (a program number for calls)
  std::string text;           // the word as written (ASCII), for findings
};

struct LineRead {
  LineKind kind = LineKind::Blank;
  std::int64_t program = 0;   // ProgramStart: the O number
  bool hasNumber = false;     // a sequence number starts the block
  std::uint32_t letterAt = 0; // its N in the stored line
  std::uint32_t digitsAt = 0, digitsLength = 0;
  std::int64_t number = 0;
  std::uint32_t insertAt = 0; // where a new N word goes (after `/n`)
  // A new N word would not run into what follows (the block starts with
  // a letter or `#`, not with a digit a number would swallow).
  bool takesNumber = false;
  bool toolChange = false;    // M06 or a T word
  std::vector<Reference> references;
};

// Reads lines; one reader is reused from line to line.
class BlockReader {
 public:
  void Read(std::string_view line, LineRead& out);
  // Only the kind and the sequence number (the other fields are not set).
  void ReadNumber(std::string_view line, LineRead& out);

 private:
  void Normalize(std::string_view line);
  std::size_t SequenceNumber(std::string_view line, LineRead& out);
  void Statement(std::size_t pos, LineRead& out);
  void Words(std::size_t pos, LineRead& out);
  std::size_t WordEnd(std::size_t valueStart) const;
  Reference Target(ReferenceKind kind, std::size_t valueStart, std::size_t valueEnd, std::string_view name) const;

  std::string text_;               // the block as read
  std::vector<std::uint32_t> at_;  // the stored byte of each byte of text_
  std::uint32_t lineLength_ = 0;
};

}  // namespace vostrel::renumber
