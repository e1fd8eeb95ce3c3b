#pragma once
// The renumbering's options as the settings file keeps them (section
// Renumber), shared by the viewer and vostrelc.

#include "renumber/renumber.h"
#include "settings/app_settings.h"

namespace vostrel::renumber {

// Values out of range read as their nearest sound value: a start below 0
// as 0, a step below 1 as 1, a width outside 0 to 9 as 0 or 9, an unknown
// choice of blocks as "numbered".
Options OptionsFromSettings(const settings::AppSettings::RenumberKeys& keys);
void StoreOptions(const Options& options, settings::AppSettings::RenumberKeys& keys);

}  // namespace vostrel::renumber
