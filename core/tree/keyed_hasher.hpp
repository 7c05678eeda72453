#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace velmo {

// Streaming 64-bit hash keyed with two secrets drawn once per process, so an attacker who picks mapping keys
// cannot aim them at one bucket. Each 8-byte word is folded in with a 64x64->128-bit multiply (high and low
// halves xor-ed), which mixes every input bit into the whole state.
class KeyedHasher {
 public:
  KeyedHasher() noexcept;

  void add_u64(std::uint64_t word) noexcept { state_ = mix(state_ ^ word, keys_.k1); }
  void add_bytes(std::string_view bytes) noexcept {
    const char* p = bytes.data();
    std::size_t n = bytes.size();
    while (n >= 8) {
      std::uint64_t word;
      std::memcpy(&word, p, 8);
      add_u64(word);
      p += 8;
      n -= 8;
    }
    std::uint64_t tail = 0;
    if (n != 0) std::memcpy(&tail, p, n);  // an empty view may have a null data pointer
    add_u64(tail ^ (static_cast<std::uint64_t>(n) << 56));
    add_u64(bytes.size());
  }
  std::uint64_t finish() const noexcept { return mix(state_ ^ keys_.k0, keys_.k1 ^ 0x9e3779b97f4a7c15ULL); }

 private:
  struct Keys {
    std::uint64_t k0;
    std::uint64_t k1;
  };
  static const Keys& process_keys() noexcept;
  __extension__ typedef unsigned __int128 Wide;  // __extension__ keeps -Wpedantic quiet about the type
  static std::uint64_t mix(std::uint64_t a, std::uint64_t b) noexcept {
    const Wide product = static_cast<Wide>(a) * b;
    return static_cast<std::uint64_t>(product) ^ static_cast<std::uint64_t>(product >> 64);
  }

  const Keys& keys_;
  std::uint64_t state_;
};

}  // namespace velmo
