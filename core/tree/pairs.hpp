#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "tree/tree_vector.hpp"

namespace velmo {

class Node;
class PairEntry;

// The entries of a mapping: insertion-ordered, keys identified by node equality.
//
// Small mappings are scanned linearly. Once a mapping holds more than kIndexThreshold entries it keeps a hash
// index (open addressing over entry positions), so building a large mapping and checking it for duplicate keys
// stays linear. The index is maintained by every mutation and never built by a lookup, so concurrent readers
// of one tree never write to it. The entries' block holds the index pointer in its header word, so a mapping is
// 16 bytes inside its node and one allocation.
class Pairs {
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
  void reserve(std::size_t count);

  // Entries in insertion order (defined with PairEntry, in pair_entry.hpp).
  PairEntry* begin() noexcept;
  PairEntry* end() noexcept;
  const PairEntry* begin() const noexcept;
  const PairEntry* end() const noexcept;
  PairEntry& operator[](std::size_t i) noexcept;
  const PairEntry& operator[](std::size_t i) const noexcept;

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
  // Appends the entries laid out as key, value, key, value... in `nodes` (2 * count nodes) by moving their bytes,
  // keys known to be distinct from each other and from every key present. The caller forgets the originals
  // without destroying them.
  void append_relocated(const Node* nodes, std::size_t count);
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
  Index* index() const noexcept { return static_cast<Index*>(entries_.header_word()); }
  void drop_index() noexcept;
  void rebuild_index();
  // Brings the index up to date after entries were appended from position `first` on.
  void index_appended(std::size_t first);

  TreeVector<PairEntry> entries_;
};

}  // namespace velmo

// Node holds a Pairs by value and PairEntry holds Nodes: node.hpp completes both.
#include "tree/node.hpp"
