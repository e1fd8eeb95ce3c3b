#pragma once
// Finds every name of two or more bytes in a line at once.

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vostrel {

// All names of two or more bytes at once, found by their first bytes: the
// names fall into four groups by length (2-3, 4-7, 8-15, 16 bytes and
// more), and within a group by their first `key` bytes (the group's
// shortest name length, at most 16), which are read as two numbers and
// looked up in a hash table per group; the names of a key are then
// compared in full. A table of
// every pair of first bytes keeps most places of a text from the tables.
// Each place costs a few loads whatever the names' bytes, and memory follows
// the number of names.
class NameMatcher {
 public:
  static constexpr std::uint32_t kNone = UINT32_MAX;

  explicit NameMatcher(const std::vector<std::string_view>& names)
      : names_(names), sameText_(names.size(), kNone), groupsOfPair_(1 << 16, 0) {
    // The names in byte order: names of one text side by side, the first
    // (in table order) heading its chain.
    std::vector<std::uint32_t> order(names.size());
    for (std::size_t k = 0; k < names.size(); ++k) order[k] = static_cast<std::uint32_t>(k);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return names[a] < names[b]; });
    std::vector<std::uint32_t> heads;
    for (std::size_t i = 0; i < order.size(); ++i) {
      if (i > 0 && names[order[i]] == names[order[i - 1]]) sameText_[order[i - 1]] = order[i];
      else heads.push_back(order[i]);
    }
    for (const std::uint32_t k : heads) {
      Group& group = groups_[GroupOf(names[k].size())];
      group.keyLength = std::min(group.keyLength, names[k].size());
    }
    for (std::size_t g = 0; g < kGroups; ++g) groups_[g].keyLength = std::min<std::size_t>(groups_[g].keyLength, 16);
    // Heads ordered by group and key, so that the heads of a key lie side by side.
    std::vector<std::pair<Key, std::uint32_t>> keyed;
    keyed.reserve(heads.size());
    for (const std::uint32_t k : heads) {
      const std::size_t g = GroupOf(names[k].size());
      keyed.push_back({KeyAt(names[k].data(), groups_[g].keyLength, names[k].size()), k});
      groupsOfPair_[Pair(names[k][0], names[k][1])] |= static_cast<std::uint8_t>(1u << g);
      startsName_[static_cast<unsigned char>(names[k][0])] = true;
    }
    std::stable_sort(keyed.begin(), keyed.end(), [&](const auto& a, const auto& b) {
      const std::size_t ga = GroupOf(names[a.second].size()), gb = GroupOf(names[b.second].size());
      return ga != gb ? ga < gb : a.first.low != b.first.low ? a.first.low < b.first.low : a.first.high < b.first.high;
    });
    members_.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size();) {
      const std::size_t g = GroupOf(names[keyed[i].second].size());
      std::size_t end = i;
      while (end < keyed.size() && keyed[end].first == keyed[i].first &&
             GroupOf(names[keyed[end].second].size()) == g)
        members_.push_back(keyed[end++].second);
      groups_[g].keys.push_back({keyed[i].first, static_cast<std::uint32_t>(i), static_cast<std::uint32_t>(end)});
      i = end;
    }
    for (Group& group : groups_) group.Build();
#if defined(__SSE2__)
    for (std::size_t b = 0; b < 256; ++b) {
      if (!startsName_[b]) continue;
      if (fewStarts_ == std::size(starts_)) {
        fewStarts_ = 0;  // too many for the wide search
        break;
      }
      starts_[fewStarts_++] = _mm_set1_epi8(static_cast<char>(b));
    }
#endif
  }

  // Calls found(k) for every name text occurring in `text` (once per
  // place), k being the first name of that text; NextOfText(k) gives the
  // others. Returns whether the text holds an "@" (the mark of the array
  // form).
  template <class Found>
  bool Scan(std::string_view text, Found&& found) const {
    const char* const data = text.data();
    const std::size_t size = text.size();
    const std::size_t last = size < 2 ? 0 : size - 1;  // the last place a name of two bytes may start, + 1
    for (std::size_t i = NextStart(data, 0, last); i < last; i = NextStart(data, i + 1, last)) {
      std::uint8_t groups = groupsOfPair_[Pair(data[i], data[i + 1])];
      for (std::size_t g = 0; groups != 0; ++g, groups >>= 1) {
        if (!(groups & 1)) continue;
        const Group& group = groups_[g];
        if (size - i < group.keyLength) continue;
        const Slot* slot = group.Find(KeyAt(data + i, group.keyLength, size - i));
        if (!slot) continue;
        for (std::uint32_t m = slot->begin; m < slot->end; ++m) {
          const std::string_view name = names_[members_[m]];
          if (name.size() <= size - i && std::memcmp(data + i + group.keyLength, name.data() + group.keyLength,
                                                     name.size() - group.keyLength) == 0)
            found(members_[m]);
        }
      }
    }
    return size > 0 && std::memchr(data, '@', size) != nullptr;
  }
  // The next name of the same text as name k, or kNone.
  std::uint32_t NextOfText(std::uint32_t k) const { return sameText_[k]; }

 private:
  static constexpr std::size_t kGroups = 4;
  struct Key {
    std::uint64_t low = 0, high = 0;
    friend bool operator==(const Key&, const Key&) = default;
  };
  struct Slot {
    Key key;
    std::uint32_t begin = 0, end = 0;  // into members_; empty when begin == end
  };
  struct Group {
    std::size_t keyLength = SIZE_MAX;
    std::vector<Slot> keys;   // the keys, until Build makes them the table
    std::vector<Slot> table;  // open addressing, a power of two
    unsigned shift = 64;

    static std::size_t Hash(const Key& key, unsigned shift) {
      const std::uint64_t mixed = (key.low ^ (key.high * 0xC2B2AE3D27D4EB4Full)) * 0x9E3779B97F4A7C15ull;
      return shift >= 64 ? 0 : static_cast<std::size_t>(mixed >> shift);
    }
    void Build() {
      std::size_t size = 1;
      shift = 64;
      while (size < 2 * keys.size()) size *= 2, --shift;
      table.assign(keys.empty() ? 0 : size, Slot{});
      for (const Slot& key : keys) {
        std::size_t at = Hash(key.key, shift);
        while (table[at].begin != table[at].end) at = (at + 1) & (size - 1);
        table[at] = key;
      }
      keys = {};
    }
    const Slot* Find(const Key& key) const {
      if (table.empty()) return nullptr;
      for (std::size_t at = Hash(key, shift);; at = (at + 1) & (table.size() - 1)) {
        const Slot& slot = table[at];
        if (slot.begin == slot.end) return nullptr;
        if (slot.key == key) return &slot;
      }
    }
  };

  static std::size_t GroupOf(std::size_t length) { return length < 4 ? 0 : length < 8 ? 1 : length < 16 ? 2 : 3; }
  static std::uint16_t Pair(char a, char b) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(a) << 8 | static_cast<unsigned char>(b));
  }
  // The first `length` bytes (2 to 16) at `p` as two numbers; `available`
  // bytes may be read there (at least `length`).
  static Key KeyAt(const char* p, std::size_t length, std::size_t available) {
    Key key;
    if (length <= 8) {
      if (available >= 8) {  // one load of eight bytes, the bytes beyond the key cleared
        std::memcpy(&key.low, p, 8);
        if (length < 8) {
          const unsigned kept = static_cast<unsigned>(8 * length);
          key.low &= std::endian::native == std::endian::little ? (std::uint64_t{1} << kept) - 1 : ~std::uint64_t{0} << (64 - kept);
        }
      } else {
        std::memcpy(&key.low, p, length);
      }
    } else {
      std::memcpy(&key.low, p, 8);
      std::memcpy(&key.high, p + length - 8, 8);
    }
    return key;
  }

  // The first place from `i` on, before `end`, whose byte may start a name.
  std::size_t NextStart(const char* data, std::size_t i, std::size_t end) const {
#if defined(__SSE2__)
    // With a few first bytes, sixteen places a turn.
    if (fewStarts_ > 0) {
      for (; i + 16 <= end; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        __m128i hit = _mm_cmpeq_epi8(v, starts_[0]);
        for (std::size_t s = 1; s < fewStarts_; ++s) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(v, starts_[s]));
        if (const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(hit)); mask != 0)
          return i + static_cast<std::size_t>(std::countr_zero(mask));
      }
    }
#endif
    while (i < end && !startsName_[static_cast<unsigned char>(data[i])]) ++i;
    return i;
  }

  const std::vector<std::string_view>& names_;
  std::vector<std::uint32_t> sameText_;   // next name of the same text
  std::vector<std::uint8_t> groupsOfPair_;  // the groups with a name starting with each pair of bytes
  std::array<bool, 256> startsName_{};      // the first bytes of the names, a table small enough to stay at hand
#if defined(__SSE2__)
  __m128i starts_[4] = {};  // each first byte in all sixteen places
  std::size_t fewStarts_ = 0;        // how many of them, 0 when there are more
#endif
  std::vector<std::uint32_t> members_;    // heads of the name texts, by group and key
  std::array<Group, kGroups> groups_;
};

}  // namespace vostrel
