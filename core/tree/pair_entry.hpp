// One mapping entry, and the Pairs members that need it complete.
#pragma once

#include <cstddef>
#include <utility>

#include "tree/node.hpp"

namespace velmo {

// One mapping entry. The key is read-only here: changing it goes through Pairs::set_key so the index stays right.
class PairEntry {
 public:
  PairEntry(Node&& key, Node&& value) noexcept : key_(std::move(key)), value_(std::move(value)) {}
  const Node& key() const noexcept { return key_; }
  Node& value() noexcept { return value_; }
  const Node& value() const noexcept { return value_; }

 private:
  friend class Pairs;
  friend class Node;  // frees deep trees without recursion
  Node key_;
  Node value_;
};

inline PairEntry* Pairs::begin() noexcept { return entries_.begin(); }
inline PairEntry* Pairs::end() noexcept { return entries_.end(); }
inline const PairEntry* Pairs::begin() const noexcept { return entries_.begin(); }
inline const PairEntry* Pairs::end() const noexcept { return entries_.end(); }
inline PairEntry& Pairs::operator[](std::size_t i) noexcept { return entries_[i]; }
inline const PairEntry& Pairs::operator[](std::size_t i) const noexcept { return entries_[i]; }
inline void Pairs::reserve(std::size_t count) { entries_.reserve(count); }

}  // namespace velmo
