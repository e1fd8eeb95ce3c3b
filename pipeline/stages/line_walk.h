#pragma once
// The walk of a stage over the lines that may hold what it looks for.

#include <cstdint>

#include "pipeline/compile_run.h"
#include "pipeline/line_summary.h"

namespace vostrel {

// Walks lines 1 to run.LineCount: a line that may hold any of `what` gets
// before(n), then visit(n), then after(m), m being the last line visit(n)
// dealt with (n or a later one, which the walk then passes); a run of
// lines passed over is shown as its last line: before(k), after(k). So the
// frame ends on the same line as a walk over every line would, without a
// call for each. `visit` returns 0 to end the walk: the result is false.
template <class Before, class Visit, class After>
bool WalkLinesHolding(const CompileRun& run, LineSummary what, Before&& before, Visit&& visit, After&& after) {
  const std::int32_t last = run.LineCount;
  for (std::int32_t n = 1; n <= last;) {
    const std::int32_t next = run.NextLineHolding(n, what);
    if (next > n) {
      before(next - 1);
      after(next - 1);
    }
    if (next > last) break;
    before(next);
    const std::int32_t done = visit(next);
    if (done == 0) return false;
    after(done);
    n = done + 1;
  }
  return true;
}

}  // namespace vostrel
