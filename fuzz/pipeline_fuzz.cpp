// The whole headless pipeline over arbitrary source bytes. The first byte
// switches the options; the rest is the source file as loaded.

#include <cstdlib>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "pipeline/compile.h"
#include "pipeline/compile_run.h"
#include "pipeline/headless_frame.h"
#include "pipeline/text_lines.h"

namespace {

std::filesystem::path WordList() {
  static const std::filesystem::path path = [] {
    auto p = std::filesystem::temp_directory_path() / "vostrel-fuzz-ChkData.lst";
    if (std::FILE* f = std::fopen(p.c_str(), "wb")) {
      std::fputs("GOTO\r\nIF\r\nWHILE\r\nDO\r\nEND\r\nEQ\r\nNE\r\nGT\r\nLT\r\nGE\r\nLE\r\nSIN\r\n", f);
      std::fclose(f);
    }
    return p;
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const unsigned bits = data[0];
  std::string_view source(reinterpret_cast<const char*>(data) + 1, size - 1);

  vostrel::RunOptions options;
  options.EndChar = (bits & 1) ? "Y" : "N";
  options.chg16_10 = (bits & 2) ? "Y" : "N";
  options.Chg_MacroA = (bits & 4) ? "Y" : "N";
  options.End_set = (bits & 8) ? "Y" : ((bits & 16) ? "N" : "?");
  if (bits & 32) options.StartChar = "DEF:";
  // Include files name real paths: keep the directive out of reach so the
  // fuzzer never reads the machine's files.
  options.DefName = "\x01INCLUDE-NEVER\x01";

  vostrel::CompileRun run(options);
  run.WordListPath = WordList();
  run.RunArguments[0] = "MILL";
  run.SetLoadedLines(vostrel::SplitSourceText(source.substr(0, source.find('\0'))));
  const auto sourceLines = static_cast<std::int32_t>(run.WorkLines.size());
  vostrel::HeadlessFrame frame(run);
  // Every finding names a line of the source, and every working line keeps
  // a source line, in the order of the source.
  frame.SetWantsFindings(true);
  frame.SetFindingSink([&](const vostrel::Finding& finding) {
    if (finding.file.empty() && (finding.line < 0 || finding.line > sourceLines)) std::abort();
  });
  vostrel::RunStages(run, frame);
  if (!run.WorkLines.summaries_hold()) std::abort();
  const std::vector<std::int32_t> origins = run.SourceLines();
  if (!origins.empty() && origins.size() != run.WorkLines.size()) std::abort();
  for (std::size_t i = 0; i < origins.size(); ++i)
    if (origins[i] < 1 || origins[i] > sourceLines || (i > 0 && origins[i] < origins[i - 1])) std::abort();
  return 0;
}
