// Tags as the parser resolves them (prefix + suffix) to the source-like form the tree keeps.
#pragma once

#include <string_view>

#include "tree/node_meta.hpp"

namespace velmo::parser {

// "tag:yaml.org,2002:" becomes the handle "!!", a prefix of exactly "!" stays "!", any other prefix (including
// the empty prefix of a verbatim tag) is kept as the handle; the suffix is kept as is.
Tag convert_tag(std::string_view prefix, std::string_view suffix);

}  // namespace velmo::parser
