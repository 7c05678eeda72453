#include "tree/keyed_hasher.hpp"

#include <chrono>
#include <random>

namespace velmo {

const KeyedHasher::Keys& KeyedHasher::process_keys() noexcept {
  static const Keys keys = [] {
    std::uint64_t seed[4] = {};
    try {
      std::random_device device;
      for (auto& word : seed) word = (static_cast<std::uint64_t>(device()) << 32) ^ device();
    } catch (...) {
      // No entropy source: fall back to the clock, which still varies between runs.
      const auto now = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
      seed[0] = now;
      seed[1] = now * 0x9e3779b97f4a7c15ULL;
    }
    // Odd multipliers keep the multiply from collapsing the state.
    return Keys{seed[0] ^ seed[2], (seed[1] ^ seed[3]) | 1};
  }();
  return keys;
}

KeyedHasher::KeyedHasher() noexcept : keys_(process_keys()), state_(process_keys().k0) {}

}  // namespace velmo
