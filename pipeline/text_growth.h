#pragma once
// A safety valve for definitions that make the working text grow without
// end (a value holding the next name twice doubles the text with every
// row): the text may not grow beyond 64 times the source size plus
// 256 MiB, far more than any real program needs. It is not a limit on the
// definition table, which grows as far as memory allows.

#include <cstddef>
#include <optional>
#include <string_view>

#include "pipeline/stage_table.h"

namespace vostrel {

struct CompileRun;
struct Definition;

class TextGrowthLimit {
 public:
  // The bound for the run's source; the text as it is now.
  explicit TextGrowthLimit(const CompileRun& run);

  // Row `row` of the definition table turned a piece of `before` bytes into
  // one of `after` bytes. False once the text is beyond the bound.
  bool Allows(std::size_t row, std::size_t before, std::size_t after);
  // Whether the text as it is now may still grow by `bytes` and stay
  // within the bound.
  bool Covers(std::size_t bytes) const { return size_ <= bound_ && bytes <= bound_ - size_; }
  // The row whose replacement went beyond the bound, if one did.
  std::optional<std::size_t> RunawayRow() const { return runawayRow_; }

  static std::size_t Bound(std::size_t sourceSize);

 private:
  std::size_t size_ = 0;
  std::size_t bound_ = 0;
  std::optional<std::size_t> runawayRow_;
};

// The fatal stop for the definition that made the text too large: a
// message naming it, and the stage's " -- 中止" log line.
StageEnd StopRunawayGrowth(StageFrame& frame, std::string_view stageName, const Definition& definition);

}  // namespace vostrel
