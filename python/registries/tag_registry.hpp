// The process-wide registry of tag handlers, and the pass that lets them rewrite tagged scalars.
#pragma once

#include <nanobind/nanobind.h>

#include <cstdint>
#include <string_view>

#include "tree/node.hpp"

namespace velmo::py {

// Appends (priority, handler) to the handlers of `name`.
void register_tag_handler(std::string_view name, nanobind::handle handler, std::uint32_t priority);
// Drops every handler of `name`; nothing happens for a name that has none.
void remove_tag_handlers(std::string_view name);
void clear_tag_handlers();

// True when at least one handler is registered.
bool tag_handlers_registered();

// Offers every tagged scalar under `root` (mapping values and sequence items; keys are not visited) to the
// handlers registered for its tag text, lowest priority first. Returns at once when no handler is registered.
// Raises YamlTagError when a handler returns something other than a str or raises anything but YamlTagSkip.
void apply_tag_handlers(Node& root);

}  // namespace velmo::py
