#include "tree/pairs.hpp"

#include <algorithm>

namespace velmo {

// Open-addressing table of entry positions, plus each entry's hash so that growing the table or comparing a
// probe never rehashes a key node.
class Pairs::Index : public memory::InTreeMemory {
 public:
  void clear() noexcept {
    hashes_.clear();
    slots_.clear();
  }

  void add(std::size_t position, std::uint64_t hash) {
    hashes_.push_back(hash);
    if (slots_.empty() || hashes_.size() * 2 > slots_.size()) {
      grow();
    } else {
      place(position, hash);
    }
  }

  template <class Entries>
  std::optional<std::size_t> find(const Entries& entries, const Node& key, std::uint64_t hash) const {
    if (slots_.empty()) return std::nullopt;
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t stored = slots_[slot];
      if (stored == 0) return std::nullopt;
      const std::size_t position = stored - 1;
      if (hashes_[position] == hash && entries[position].key() == key) return position;
    }
  }

 private:
  void place(std::size_t position, std::uint64_t hash) noexcept {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] != 0) slot = (slot + 1) & mask;
    slots_[slot] = static_cast<std::uint32_t>(position + 1);
  }

  void grow() {
    std::size_t capacity = 16;
    while (capacity < hashes_.size() * 4) capacity *= 2;
    slots_.assign(capacity, 0);
    for (std::size_t i = 0; i < hashes_.size(); ++i) place(i, hashes_[i]);
  }

  std::vector<std::uint64_t, memory::TreeAllocator<std::uint64_t>> hashes_;
  std::vector<std::uint32_t, memory::TreeAllocator<std::uint32_t>> slots_;  // entry position + 1; 0 marks a free slot
};

Pairs::Pairs() noexcept = default;

Pairs::Pairs(const Pairs& other) : entries_(other.entries_) {
  if (const Index* source = other.index()) entries_.set_header_word(new Index(*source));
}

Pairs::Pairs(Pairs&& other) noexcept = default;

Pairs& Pairs::operator=(const Pairs& other) {
  if (this != &other) *this = Pairs(other);
  return *this;
}

Pairs& Pairs::operator=(Pairs&& other) noexcept {
  Pairs taken(std::move(other));
  std::swap(entries_, taken.entries_);
  return *this;
}

Pairs::~Pairs() { drop_index(); }

void Pairs::drop_index() noexcept {
  if (Index* index = this->index()) {
    delete index;
    entries_.set_header_word(nullptr);
  }
}

void Pairs::rebuild_index() {
  if (entries_.size() <= kIndexThreshold) {
    drop_index();
    return;
  }
  Index* index = this->index();
  if (index == nullptr) {
    index = new Index();
    entries_.set_header_word(index);
  }
  index->clear();
  for (std::size_t i = 0; i < entries_.size(); ++i) index->add(i, node_hash(entries_[i].key_));
}

std::optional<std::size_t> Pairs::find_index(const Node& key) const {
  if (const Index* index = this->index()) return index->find(entries_, key, node_hash(key));
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].key_ == key) return i;
  }
  return std::nullopt;
}

Node* Pairs::find(const Node& key) {
  const auto position = find_index(key);
  return position ? &entries_[*position].value_ : nullptr;
}

const Node* Pairs::find(const Node& key) const {
  const auto position = find_index(key);
  return position ? &entries_[*position].value_ : nullptr;
}

void Pairs::append_distinct(Node&& key, Node&& value) {
  entries_.emplace_back(std::move(key), std::move(value));
  index_appended(entries_.size() - 1);
}

void Pairs::index_appended(std::size_t first) {
  if (Index* index = this->index()) {
    for (std::size_t i = first; i < entries_.size(); ++i) index->add(i, node_hash(entries_[i].key_));
  } else if (entries_.size() > kIndexThreshold) {
    rebuild_index();
  }
}

void Pairs::append_relocated(const Node* nodes, std::size_t count) {
  static_assert(sizeof(PairEntry) == 2 * sizeof(Node), "an entry is its key node followed by its value node");
  entries_.append_relocated(reinterpret_cast<const PairEntry*>(nodes), count);
  index_appended(entries_.size() - count);
}

Pairs::InsertResult Pairs::insert(Node key, Node value) {
  if (Index* index = this->index()) {
    const std::uint64_t hash = node_hash(key);
    if (const auto position = index->find(entries_, key, hash)) {
      entries_[*position].value_ = std::move(value);
      return {*position, false};
    }
    entries_.emplace_back(std::move(key), std::move(value));
    index->add(entries_.size() - 1, hash);
    return {entries_.size() - 1, true};
  }
  if (const auto position = find_index(key)) {
    entries_[*position].value_ = std::move(value);
    return {*position, false};
  }
  entries_.emplace_back(std::move(key), std::move(value));
  if (entries_.size() > kIndexThreshold) rebuild_index();
  return {entries_.size() - 1, true};
}

Pairs::InsertResult Pairs::insert_at(std::size_t position, Node key, Node value) {
  if (const auto existing = find_index(key)) {
    entries_[*existing].value_ = std::move(value);
    return {*existing, false};
  }
  position = std::min(position, entries_.size());
  if (position == entries_.size()) return insert(std::move(key), std::move(value));
  entries_.insert(position, PairEntry(std::move(key), std::move(value)));
  rebuild_index();
  return {position, true};
}

void Pairs::set_key(std::size_t i, Node key) {
  entries_[i].key_ = std::move(key);
  if (index() != nullptr) rebuild_index();
}

void Pairs::erase(std::size_t i) {
  entries_.erase(i);
  if (index() != nullptr) rebuild_index();
}

void Pairs::clear() noexcept {
  drop_index();
  entries_.clear();
}

}  // namespace velmo
