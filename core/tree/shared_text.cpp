#include "tree/shared_text.hpp"

#include <algorithm>
#include <cstring>
#include <new>

#include "memory/tree_memory.hpp"

namespace velmo {

SharedText SharedText::copy_of(std::string_view text) {
  SharedText result;
  const std::size_t size = std::min(text.size(), kMaxBytes);
  if (size == 0) return result;
  void* memory = memory::allocate(sizeof(detail::TextBlock) + size);
  auto* block = ::new (memory) detail::TextBlock{{1}, size};
  std::memcpy(block->chars(), text.data(), size);
  result.block_ = block;
  result.size_ = static_cast<std::uint32_t>(size);
  return result;
}

SharedText SharedText::substr(std::size_t pos, std::size_t count) const noexcept {
  SharedText result = unretained_view(pos, count);
  result.retain();
  return result;
}

void SharedText::free_block(detail::TextBlock* block) noexcept {
  const std::size_t bytes = sizeof(detail::TextBlock) + block->size;
  block->~TextBlock();
  memory::release(block, bytes);
}

}  // namespace velmo
