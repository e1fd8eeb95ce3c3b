#pragma once
// From working lines back to the source the user wrote: the loaded source
// text itself, and the character columns of words in its lines.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/finding.h"

namespace vostrel {

struct CompileRun;
struct Definition;

// The source file as loaded, for findings: kept whole, or read again from
// its file when a finding asks (so that a run holds no second copy of a
// large source). Its lines end at CR LF and at a lone LF, as an editor
// counts them; where each line starts is worked out at the first request
// (a run without findings never asks).
class SourceText {
 public:
  void Reset(std::string bytes);
  // The first `size` bytes of the file at `path` are the source: lines are
  // read from there as they are asked for, a block of lines at a time.
  void ReadAgainFrom(std::filesystem::path path, std::uint64_t size);
  bool Empty() const { return bytes_.empty() && path_.empty(); }
  // Line n (1-based) without its line end; empty past the end (or when
  // the file can no longer be read).
  std::string_view Line(std::int32_t n) const;

 private:
  static constexpr std::size_t kStride = 1024;  // lines per block read again
  std::string_view LineOfFile(std::int32_t n) const;

  std::string bytes_;
  mutable std::vector<std::size_t> starts_;  // of every line; read again: of every kStride-th
  mutable bool indexed_ = false;
  std::filesystem::path path_;
  std::uint64_t size_ = 0;
  mutable std::size_t lines_ = 0;                                  // read again: the line count
  mutable std::string block_;                                      // the block of lines read last
  mutable std::size_t blockIndex_ = SIZE_MAX;                      // its number
  mutable std::vector<std::pair<std::size_t, std::size_t>> spans_;  // its lines in block_
};

// The 1-based character column of byte `offset` in `line`: a double-byte
// character counts as one, and both its bytes are in its column.
std::int32_t CharColumn(std::string_view line, std::size_t offset);

// Byte offset of the `occurrence`-th (0-based) appearance of `word` in
// `line`, beginning at a character start and compared without regard to
// ASCII letter case (the working text is upper-cased, the source maybe not);
// npos when there are not that many.
std::size_t FindWord(std::string_view line, std::string_view word, std::size_t occurrence = 0);

// How often `word` appears (as FindWord finds it) before byte `offset`.
std::size_t WordsBefore(std::string_view line, std::string_view word, std::size_t offset);

// The column in `sourceLine` of the word found at byte `offset` of
// `workingLine` (the same line after some stages): the same occurrence of
// the word in the source line, else its first; looked for at character
// starts, or at every byte when it stands inside a character in the
// working line (a bracket can be the second byte of one); 0 when the source line does not hold it (it came with a
// definition's value).
std::int32_t SourceColumn(std::string_view sourceLine, std::string_view workingLine,
                          std::string_view word, std::size_t offset);

// A finding on working line n of the run: in the source, on the line it
// came from, at the column of `word` (Shift-JIS), which stands at byte
// `offset` of the working line.
Finding LineFinding(const CompileRun& run, Severity severity, std::string_view stage,
                    std::int32_t n, std::string message, std::string_view word, std::size_t offset);

// A finding at the place where a definition was written.
Finding DefinitionFinding(const Definition& definition, Severity severity, std::string_view stage,
                          std::string message);

}  // namespace vostrel
