#include "parser/parser_lease.hpp"

namespace velmo::parser {
namespace {

struct ThreadParser {
  events::Parser parser{std::string_view()};
  bool in_use = false;
};
thread_local ThreadParser t_parser;

}  // namespace

ParserLease::ParserLease(std::string_view text, const events::ParserOptions& options) {
  if (t_parser.in_use) {
    owned_ = std::make_unique<events::Parser>(text, options);
    parser_ = owned_.get();
  } else {
    t_parser.in_use = true;
    t_parser.parser.reset(text, options);
    parser_ = &t_parser.parser;
  }
}

ParserLease::~ParserLease() {
  if (!owned_) {
    t_parser.parser.reset(std::string_view());
    t_parser.in_use = false;
  }
}

}  // namespace velmo::parser
