#include "renumber/renumber_settings.h"

#include <algorithm>

namespace vostrel::renumber {

Options OptionsFromSettings(const settings::AppSettings::RenumberKeys& keys) {
  Options options;
  options.start = std::max(keys.Start, 0);
  options.step = std::max(keys.Step, 1);
  if (!ParseBlockChoice(keys.Blocks, options.blocks)) options.blocks = BlockChoice::Numbered;
  options.skipMarkerLines = keys.SkipLines;
  options.width = std::clamp(keys.Width, 0, 9);
  return options;
}

void StoreOptions(const Options& options, settings::AppSettings::RenumberKeys& keys) {
  keys.Start = static_cast<int>(options.start);
  keys.Step = static_cast<int>(options.step);
  keys.Blocks = std::string(BlockChoiceName(options.blocks));
  keys.SkipLines = options.skipMarkerLines;
  keys.Width = options.width;
}

}  // namespace vostrel::renumber
