// Benchmarks of the compile pipeline, run in-process on generated programs.

#include <benchmark/benchmark.h>

#include "bench/gen_cam.h"
#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/text_lines.h"
#include "text/sjis.h"

namespace {

using namespace vostrel;

const std::string& CamText() {
  static const std::string text = bench::GenerateCamProgram(1000000);
  return text;
}

void RunPipeline(benchmark::State& state, const RunOptions& options, const std::string& text) {
  for (auto _ : state) {
    CompileRun run(options);
    run.ExeDir = VOSTREL_BENCH_EXE_DIR;
    run.WorkLines = SplitSourceText(text);
    HeadlessFrame frame(run);
    RunStages(run, frame);
    benchmark::DoNotOptimize(run.WorkLines.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void BM_CamDefaultOptions(benchmark::State& state) {
  RunOptions options;
  RunPipeline(state, options, CamText());
}
BENCHMARK(BM_CamDefaultOptions)->Unit(benchmark::kMillisecond);

void BM_CamEveryOption(benchmark::State& state) {
  RunOptions options;
  options.EndChar = "Y";
  options.chg16_10 = "Y";
  options.Chg_MacroA = "Y";
  RunPipeline(state, options, CamText());
}
BENCHMARK(BM_CamEveryOption)->Unit(benchmark::kMillisecond);

void BM_SplitSource(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(SplitSourceText(CamText()));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * CamText().size()));
}
BENCHMARK(BM_SplitSource)->Unit(benchmark::kMillisecond);

void BM_ReplaceAllWholeText(benchmark::State& state) {
  const std::string text = CamText();
  for (auto _ : state) {
    std::string copy = text;
    benchmark::DoNotOptimize(sjis::ReplaceAllInPlace(copy, "X", "XX"));
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(BM_ReplaceAllWholeText)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
