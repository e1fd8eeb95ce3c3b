#include "pipeline/text_growth.h"

#include <string>

#include "pipeline/compile_run.h"
#include "pipeline/stage_frame.h"
#include "text/sjis.h"

namespace vostrel {

std::size_t TextGrowthLimit::Bound(std::size_t sourceSize) { return 64 * sourceSize + (std::size_t{256} << 20); }

TextGrowthLimit::TextGrowthLimit(const CompileRun& run) : bound_(Bound(run.SourceSize)) {
  size_ = run.WorkLines.text_bytes() + 2 * run.WorkLines.size();
}

bool TextGrowthLimit::Allows(std::size_t row, std::size_t before, std::size_t after) {
  size_ = size_ - before + after;
  if (size_ > bound_ && !runawayRow_) runawayRow_ = row;
  return !runawayRow_;
}

StageEnd StopRunawayGrowth(StageFrame& frame, std::string_view stageName, const Definition& definition) {
  const std::size_t megabytes = TextGrowthLimit::Bound(frame.Run().SourceSize) >> 20;
  frame.AbortRun("定義 " + sjis::ToUtf8(definition.Name) + " の置換でデータが " + std::to_string(megabytes) +
                     " MB を超えました。\n定義の値に定義名が含まれ、置換の度に増えていないか確認してください。"
                     "\nコンパイルを中止します。",
                 std::string(stageName) + " -- 中止");
  return StageEnd::EndRun;
}

}  // namespace vostrel
