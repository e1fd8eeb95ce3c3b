// Benchmarks of the definition stages: reading, checks and replacement
// over generated CAM programs that define and use many names.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>
#include <unordered_set>
#include <vector>

#include "bench/gen_cam.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/stages/stages.h"
#include "pipeline/text_lines.h"

namespace {

using namespace vostrel;

struct Program {
  TextLines lines;  // comments and tabs already removed
  std::size_t bytes = 0;
};

// A CAM program of `lineCount` lines whose first lines define `defCount`
// names (one in ten of one byte, the rest of 2 to 16 bytes) and in which
// every `useEvery`-th line uses one of them: every one-byte name and every
// other longer name occur, the rest are defined but never used.
Program MakeProgram(std::size_t lineCount, std::size_t defCount, std::size_t useEvery) {
  Program program;
  program.lines = SplitSourceText(bench::GenerateCamProgram(lineCount));
  // One-byte names: lower-case letters and half-width katakana (single
  // bytes in Shift-JIS); a name that comes round again keeps its value.
  std::string oneByte;
  for (char c = 'a'; c <= 'z'; ++c) oneByte += c;
  for (int c = 0xA1; c <= 0xDF; ++c) oneByte += static_cast<char>(c);

  struct Name {
    std::string name, use;
  };
  std::vector<Name> names;
  std::unordered_set<std::string> taken;
  std::vector<std::string> definitionLines;
  for (std::size_t i = 0; names.size() < defCount; ++i) {
    std::string name, value;
    if (i % 10 == 9) {
      const std::size_t k = (i / 10) % oneByte.size();
      name = oneByte.substr(k, 1);
      value = "#" + std::to_string(500 + k);
      definitionLines.push_back("$" + name + " " + value);
      names.push_back({name, "#1=" + name + "*2"});
      continue;
    }
    const std::size_t length = 2 + i % 15;
    std::size_t n = i;
    while (name.size() < length) {
      name += static_cast<char>('A' + n % 26);
      n /= 26;
    }
    if (!taken.insert(name).second) continue;
    value = i % 3 ? std::to_string(i) + ".5" : "#" + std::to_string(100 + i % 400);
    definitionLines.push_back("$" + name + " " + value);
    names.push_back({name, i % 2 ? "#2=" + name + "+1" : ""});
  }

  for (std::size_t i = 0; i < definitionLines.size() && i + 2 < program.lines.size(); ++i)
    program.lines.assign(i + 2, definitionLines[i]);
  std::size_t next = 0;
  for (std::size_t n = definitionLines.size() + 2; n + 2 < program.lines.size(); n += useEvery) {
    for (std::size_t tries = 0; tries < names.size(); ++tries) {
      const Name& name = names[next++ % names.size()];
      if (name.use.empty()) continue;
      program.lines.assign(n, name.use);
      break;
    }
  }
  // The stages before the definitions remove comments and tabs.
  for (std::size_t i = 0; i < program.lines.size(); ++i) {
    std::string line = StripComment(program.lines[i]);
    for (char& c : line)
      if (c == '\t') c = ' ';
    program.lines.assign(i, line);
    program.bytes += line.size() + 2;
  }
  return program;
}

void RunDefinitionStages(benchmark::State& state, const Program& program) {
  using Clock = std::chrono::steady_clock;
  RunOptions options;
  // Time spent in each group of stages, for the counters.
  double reading = 0, checks = 0, longNames = 0, oneByteNames = 0;
  auto since = [](Clock::time_point& mark) {
    const auto now = Clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - mark).count();
    mark = now;
    return ms;
  };
  for (auto _ : state) {
    state.PauseTiming();
    CompileRun run(options);
    run.WorkLines = program.lines;
    run.CountLines();
    HeadlessFrame frame(run);
    state.ResumeTiming();
    auto mark = Clock::now();
    RunLocalDefinitions(run, frame);
    RunExternalDefinitions(run, frame);
    reading += since(mark);
    if (run.DefinitionCount > 0) {
      RunDefinitionCheck(run, frame);
      if (RunDuplicateCheck(run, frame) != StageEnd::Continue) state.SkipWithError("duplicate stop");
      checks += since(mark);
      RunLongNameReplacement(run, frame);
      longNames += since(mark);
      RunOneByteNameReplacement(run, frame);
      oneByteNames += since(mark);
    }
    benchmark::DoNotOptimize(run.WorkLines.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * program.bytes));
  const auto perRun = benchmark::Counter::kAvgIterations;
  state.counters["read_ms"] = benchmark::Counter(reading, perRun);
  state.counters["check_ms"] = benchmark::Counter(checks, perRun);
  state.counters["long_ms"] = benchmark::Counter(longNames, perRun);
  state.counters["onebyte_ms"] = benchmark::Counter(oneByteNames, perRun);
}

void BM_Definitions2000Over100kLines(benchmark::State& state) {
  static const Program program = MakeProgram(100000, 2000, 20);
  RunDefinitionStages(state, program);
}
BENCHMARK(BM_Definitions2000Over100kLines)->Unit(benchmark::kMillisecond);

void BM_Definitions200OverCam1M(benchmark::State& state) {
  static const Program program = MakeProgram(1000000, 200, 50);
  RunDefinitionStages(state, program);
}
BENCHMARK(BM_Definitions200OverCam1M)->Unit(benchmark::kMillisecond);

// The cost of the reading stages on a program without any definition.
void BM_NoDefinitionsCam1M(benchmark::State& state) {
  static const Program program = MakeProgram(1000000, 0, 50);
  RunDefinitionStages(state, program);
}
BENCHMARK(BM_NoDefinitionsCam1M)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
