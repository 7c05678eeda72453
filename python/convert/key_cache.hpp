// Mapping keys repeat across the items of a document (every Kubernetes object has "name", "kind", ...), so one
// str object is made per distinct short key and shared. A direct-mapped cache: a collision just replaces.
#pragma once

#include <Python.h>

#include <array>
#include <cstdint>
#include <string_view>

#include "convert/py_text.hpp"

namespace velmo::py {

class KeyCache {
 public:
  static constexpr std::size_t kSlots = 1024;
  static constexpr std::size_t kMaxKeyBytes = 64;

  KeyCache() = default;
  KeyCache(const KeyCache&) = delete;
  KeyCache& operator=(const KeyCache&) = delete;
  ~KeyCache() {
    for (Slot& s : slots_) Py_XDECREF(s.str);
  }

  // A new reference to a str holding `key`, or nullptr with an exception set. `key` must stay alive (and
  // unchanged) as long as the cache.
  PyObject* get(std::string_view key) {
    if (key.size() > kMaxKeyBytes) return make_str(key);
    Slot& s = slots_[hash(key) & (kSlots - 1)];
    if (s.str != nullptr && s.text == key) {
      Py_INCREF(s.str);
      return s.str;
    }
    PyObject* str = make_str(key);
    if (str == nullptr) return nullptr;
    Py_XDECREF(s.str);
    s.str = str;
    s.text = key;
    Py_INCREF(str);
    return str;
  }

 private:
  struct Slot {
    std::string_view text;
    PyObject* str = nullptr;
  };
  static std::size_t hash(std::string_view s) noexcept {
    std::uint64_t h = 0xcbf29ce484222325ULL ^ s.size();
    for (unsigned char c : s) h = (h ^ c) * 0x100000001b3ULL;
    return static_cast<std::size_t>(h ^ (h >> 29));
  }
  std::array<Slot, kSlots> slots_{};
};

}  // namespace velmo::py
