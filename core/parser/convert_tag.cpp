#include "parser/convert_tag.hpp"

#include <string>

namespace velmo::parser {

Tag convert_tag(std::string_view prefix, std::string_view suffix) {
  std::string handle = prefix == "tag:yaml.org,2002:" ? std::string("!!") : std::string(prefix);
  return Tag{std::move(handle), std::string(suffix)};
}

}  // namespace velmo::parser
