#pragma once
// Many sources at once: vostrelc -d OUTDIR [-j N] SOURCE...

#include "cli/cli_options.h"

namespace vostrel::cli {

// Compiles every source of options.sources into options.outDir and
// returns the worst exit status (130 when interrupted).
int RunBatch(const CliOptions& options);

}  // namespace vostrel::cli
