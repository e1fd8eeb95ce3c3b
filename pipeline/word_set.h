#pragma once
// The words of the syntax check's list, looked up by a small open-address
// table: one cheap hash of the bytes and, mostly, one comparison.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace vostrel {

class WordSet {
 public:
  using const_iterator = std::vector<std::string>::const_iterator;

  WordSet() = default;
  WordSet(std::initializer_list<std::string_view> words);

  void clear();
  // Adds `word` unless it is there already.
  void insert(std::string_view word);
  bool contains(std::string_view word) const;
  std::size_t size() const { return words_.size(); }
  // The words in the order they were first added.
  const_iterator begin() const { return words_.begin(); }
  const_iterator end() const { return words_.end(); }

  // The same words, in any order.
  friend bool operator==(const WordSet& a, const WordSet& b);

 private:
  // The slot of `word`: where it is, or the empty slot where it would go.
  std::size_t Find(std::string_view word) const;
  void Rehash(std::size_t slots);

  std::vector<std::string> words_;
  std::vector<std::uint32_t> slots_;  // 1 + index into words_; 0 is empty
};

}  // namespace vostrel
