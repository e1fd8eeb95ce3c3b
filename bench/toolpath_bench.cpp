// Benchmarks of the toolpath interpreter: the 1,000,000-line CAM program
// (compiled once, then executed) and a macro loop that executes a million
// blocks from a dozen lines. Each reports the time per block and the bytes
// the motion list takes per motion.

#include <benchmark/benchmark.h>

#include <chrono>

#include "bench/gen_cam.h"
#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/text_lines.h"
#include "toolpath/toolpath.h"

namespace {

using namespace vostrel;

// The compiled CAM program, as the interpreter gets it from a run.
const std::vector<std::string_view>& CamLines() {
  static RunOptions options;
  static CompileRun run(options);
  static const std::vector<std::string_view> lines = [] {
    run.ExeDir = VOSTREL_BENCH_EXE_DIR;
    run.WorkLines = SplitSourceText(bench::GenerateCamProgram(1000000));
    HeadlessFrame frame(run);
    RunStages(run, frame);
    return std::vector<std::string_view>(run.WorkLines.begin(), run.WorkLines.end());
  }();
  return lines;
}

void Measure(benchmark::State& state, std::span<const std::string_view> lines, const toolpath::Settings& settings) {
  std::int64_t blocks = 0;
  std::size_t motions = 0, bytes = 0;
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const toolpath::Result result = toolpath::Run(lines, settings);
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    blocks += result.statistics.blocks;
    motions = result.motions.size();
    bytes = result.motions.capacity() * sizeof(toolpath::Motion);
    benchmark::DoNotOptimize(result.motions.data());
  }
  state.counters["ns_per_block"] = blocks ? seconds * 1e9 / static_cast<double>(blocks) : 0;
  state.counters["motions"] = static_cast<double>(motions);
  state.counters["bytes_per_motion"] = motions ? static_cast<double>(bytes) / static_cast<double>(motions) : 0;
  state.counters["blocks"] = static_cast<double>(blocks / std::max<std::int64_t>(1, state.iterations()));
}

void BM_ToolpathCam1M(benchmark::State& state) {
  toolpath::Settings settings;
  settings.decimalInput = toolpath::DecimalInput::Calculator;
  Measure(state, CamLines(), settings);
}
BENCHMARK(BM_ToolpathCam1M)->Unit(benchmark::kMillisecond);

// 100,000 turns of a loop of ten blocks: assignments, functions, a move
// and the branch back.
void BM_ToolpathMacroLoop(benchmark::State& state) {
  static const std::string program =
      "O1\nG90G17G01F500\n#1=0\n#2=0\nWHILE[#1LT100000]DO1\n#2=#2+0.5\n#3=10.*SIN[#2]\n#4=10.*COS[#2]\n"
      "#5=SQRT[#3*#3+#4*#4]\nG01X#3Y#4Z[-#5/100.]\n#1=#1+1\nIF[#1GT200000]GOTO9\nEND1\nN9M30\n";
  static const std::vector<std::string_view> lines = toolpath::SplitProgramLines(program);
  Measure(state, lines, {});
}
BENCHMARK(BM_ToolpathMacroLoop)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
