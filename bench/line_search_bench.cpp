// The viewer's search over a long result: a word that is not there (every
// line read), with and without case, as a ratio to a yardstick that finds
// a byte in the same lines. Equal ratios at 1 and 4 million lines show
// that the search stays linear.

#include <benchmark/benchmark.h>

#include <cstring>
#include <string>

#include "bench/gen_cam.h"
#include "pipeline/text_lines.h"
#include "text/line_search.h"

namespace {

using namespace vostrel;

const TextLines& Program(std::size_t lines) {
  static std::size_t made = 0;
  static TextLines program;
  if (made != lines) {
    program = SplitSourceText(bench::GenerateCamProgram(lines));
    made = lines;
  }
  return program;
}

// The yardstick: memchr over every line for a byte that is not there.
void BM_Yardstick(benchmark::State& state) {
  const TextLines& lines = Program(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    std::size_t hits = 0;
    for (std::string_view line : lines) hits += std::memchr(line.data(), '@', line.size()) != nullptr;
    benchmark::DoNotOptimize(hits);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}

void Search(benchmark::State& state, bool matchCase) {
  const TextLines& lines = Program(static_cast<std::size_t>(state.range(0)));
  for (auto _ : state) {
    LineSearch search("G99X", LineSearch::Coding::ShiftJis, matchCase, LineSearch::Direction::Forward, lines.size(),
                      {});
    while (search.Run([&](std::size_t i) { return lines[i]; }, 4 << 20) == LineSearch::State::Searching) {
    }
    benchmark::DoNotOptimize(search.Current());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lines.size()));
}

void BM_SearchMatchCase(benchmark::State& state) { Search(state, true); }
void BM_SearchAnyCase(benchmark::State& state) { Search(state, false); }

BENCHMARK(BM_Yardstick)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchMatchCase)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchAnyCase)->Arg(1'000'000)->Arg(4'000'000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
