#pragma once
// Small helpers for the byte masks of sixteen-byte blocks.

namespace vostrel {

// How many bits of a 16-bit mask are set (a library call would be made
// for std::popcount where the processor's own count is not assumed).
inline int CountMaskBits(unsigned mask) {
  mask = mask - ((mask >> 1) & 0x5555u);
  mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
  mask = (mask + (mask >> 4)) & 0x0F0Fu;
  return static_cast<int>((mask + (mask >> 8)) & 0x1Fu);
}

}  // namespace vostrel
