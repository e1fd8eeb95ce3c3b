// The renumbering of a numbered macro program of 1 and 4 million lines
// (a GOTO every 25 lines, forward and back, a new O-program every 100,000
// lines), measured against a yardstick in the same run: copying the same
// lines into a new list, which any renumbering has to do at the least.
// `ratio_to_copy` stays flat from 1 to 4 million lines when the work is
// linear in the lines.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

#include "pipeline/text_lines.h"
#include "renumber/renumber.h"

namespace {

using namespace vostrel;

TextLines NumberedProgram(std::int64_t lines) {
  TextLines program;
  program.reserve(static_cast<std::size_t>(lines), static_cast<std::size_t>(lines) * 24);
  std::string line;
  for (std::int64_t i = 0; i < lines; ++i) {
    const std::int64_t n = (i % 100000) + 1;
    if (i % 100000 == 0) {
      line = "O" + std::to_string(1000 + i / 100000);
    } else if (i % 25 == 0) {
      const std::int64_t target = n > 5000 && i % 50 == 0 ? n - 4000 : std::min<std::int64_t>(n + 40, 99999);
      line = "N" + std::to_string(n) + "IF[#1GT" + std::to_string(i % 7) + "]GOTO" + std::to_string(target);
    } else {
      line = "N" + std::to_string(n) + "G01X" + std::to_string(i % 977) + ".Y" + std::to_string(i % 313) + ".F300";
    }
    program.push_back(line);
  }
  return program;
}

void BM_Renumber(benchmark::State& state) {
  const TextLines program = NumberedProgram(state.range(0));
  renumber::Options options;
  options.blocks = static_cast<renumber::BlockChoice>(state.range(1));
  double renumberSeconds = 0, copySeconds = 0;
  std::int64_t jumps = 0;
  for (auto _ : state) {
    auto start = std::chrono::steady_clock::now();
    TextLines copy;
    copy.reserve(program.size(), program.text_bytes());
    for (const std::string_view line : program) copy.push_back(line);
    benchmark::DoNotOptimize(copy.size());
    copySeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    start = std::chrono::steady_clock::now();
    const renumber::Outcome outcome = renumber::Renumber(program, options);
    renumberSeconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    jumps = outcome.jumpsFollowed;
    if (outcome.refused) state.SkipWithError("refused");
  }
  state.counters["ns_per_line"] = renumberSeconds * 1e9 / static_cast<double>(program.size() * state.iterations());
  state.counters["ratio_to_copy"] = copySeconds > 0 ? renumberSeconds / copySeconds : 0;
  state.counters["jumps"] = static_cast<double>(jumps);
}
BENCHMARK(BM_Renumber)
    ->ArgsProduct({{1000000, 4000000}, {0, 1, 2}})
    ->ArgNames({"lines", "blocks"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2);

}  // namespace

BENCHMARK_MAIN();
