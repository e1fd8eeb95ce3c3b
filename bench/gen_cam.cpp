// gen_cam [LINES] > file.nc — writes a CAM-like program (default 1,000,000 lines).

#include <cstdio>
#include <cstdlib>

#include "gen_cam.h"

int main(int argc, char** argv) {
  const std::size_t lines = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 1000000;
  const std::string text = vostrel::bench::GenerateCamProgram(lines);
  return std::fwrite(text.data(), 1, text.size(), stdout) == text.size() ? 0 : 1;
}
