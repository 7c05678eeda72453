#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "memory/tree_memory.hpp"
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

// The entries of a mapping: insertion-ordered, keys identified by node equality.
//
// Small mappings are scanned linearly. Once a mapping holds more than kIndexThreshold entries it keeps a hash
// index (open addressing over entry positions), so building a large mapping and checking it for duplicate keys
// stays linear. The index is maintained by every mutation and never built by a lookup, so concurrent readers
// of one tree never write to it.
class Pairs : public memory::InTreeMemory {
 public:
  static constexpr std::size_t kIndexThreshold = 8;

  Pairs() noexcept;
  Pairs(const Pairs& other);
  Pairs(Pairs&& other) noexcept;
  Pairs& operator=(const Pairs& other);
  Pairs& operator=(Pairs&& other) noexcept;
  ~Pairs();

  std::size_t size() const noexcept { return entries_.size(); }
  bool empty() const noexcept { return entries_.empty(); }
  void reserve(std::size_t count) { entries_.reserve(count); }

  // Entries in insertion order.
  auto begin() noexcept { return entries_.begin(); }
  auto end() noexcept { return entries_.end(); }
  auto begin() const noexcept { return entries_.begin(); }
  auto end() const noexcept { return entries_.end(); }
  PairEntry& operator[](std::size_t i) noexcept { return entries_[i]; }
  const PairEntry& operator[](std::size_t i) const noexcept { return entries_[i]; }

  struct InsertResult {
    std::size_t index;  // position of the entry holding the value
    bool inserted;      // false when an equal key was present and only its value was replaced
  };
  // Appends the entry, or, when an equal key is present, replaces that entry's value in place (keeping the key
  // inserted first and its position).
  InsertResult insert(Node key, Node value);
  // Appends an entry whose key the caller knows to differ from every key present (a builder that has already
  // looked it up), without looking it up again.
  void append_distinct(Node&& key, Node&& value);
  // As insert, but a new entry goes at `position` (clamped to size()).
  InsertResult insert_at(std::size_t position, Node key, Node value);

  std::optional<std::size_t> find_index(const Node& key) const;
  Node* find(const Node& key);
  const Node* find(const Node& key) const;
  bool contains(const Node& key) const { return find_index(key).has_value(); }

  // Replaces the key of entry i. The caller keeps keys distinct (an equal key elsewhere makes lookups ambiguous).
  void set_key(std::size_t i, Node key);
  void erase(std::size_t i);
  void clear() noexcept;

 private:
  class Index;
  void rebuild_index();

  std::vector<PairEntry, memory::TreeAllocator<PairEntry>> entries_;
  std::unique_ptr<Index> index_;
};

}  // namespace velmo
