#include "pipeline/word_set.h"

namespace vostrel {

namespace {
std::uint64_t HashBytes(std::string_view word) {
  // FNV-1a: words are a few bytes long.
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (const char c : word) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
  return hash;
}
}  // namespace

WordSet::WordSet(std::initializer_list<std::string_view> words) {
  for (const std::string_view word : words) insert(word);
}

void WordSet::clear() {
  words_.clear();
  slots_.clear();
}

std::size_t WordSet::Find(std::string_view word) const {
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = HashBytes(word) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t entry = slots_[slot];
    if (entry == 0 || words_[entry - 1] == word) return slot;
  }
}

void WordSet::Rehash(std::size_t slots) {
  slots_.assign(slots, 0);
  for (std::size_t i = 0; i < words_.size(); ++i) slots_[Find(words_[i])] = static_cast<std::uint32_t>(i + 1);
}

void WordSet::insert(std::string_view word) {
  // At most half the slots are taken, so every search meets an empty one.
  if (2 * (words_.size() + 1) > slots_.size()) Rehash(slots_.empty() ? 64 : 2 * slots_.size());
  const std::size_t slot = Find(word);
  if (slots_[slot] != 0) return;
  words_.emplace_back(word);
  slots_[slot] = static_cast<std::uint32_t>(words_.size());
}

bool WordSet::contains(std::string_view word) const {
  return !slots_.empty() && slots_[Find(word)] != 0;
}

bool operator==(const WordSet& a, const WordSet& b) {
  if (a.size() != b.size()) return false;
  for (const std::string& word : a)
    if (!b.contains(word)) return false;
  return true;
}

}  // namespace vostrel
