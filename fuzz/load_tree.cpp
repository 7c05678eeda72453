// Loads arbitrary bytes as trees, with and without merge resolution; loads must fail cleanly, never crash.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <variant>

#include "parser/load.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  velmo::parser::LoadOptions merging;
  merging.resolve_merges = true;
  merging.max_depth = 64;
  const velmo::parser::LoadAllResult all = velmo::parser::load_all(text, merging);
  if (const auto* documents = std::get_if<std::vector<velmo::Node>>(&all)) {
    // Every loaded tree can be copied and compared (the identity that mapping keys rely on).
    for (const velmo::Node& document : *documents) {
      if (!(document.deep_copy() == document)) __builtin_trap();
    }
  }
  velmo::parser::LoadOptions lenient;
  lenient.allow_duplicate_keys = true;
  const velmo::parser::LoadOneResult one = velmo::parser::load_one(text, lenient);
  (void)one;
  return 0;
}
