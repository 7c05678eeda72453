// The thread's event parser, lent to one load at a time so its buffers and state stack stay warm between
// calls; a load started while it is lent (a load within a load) gets a parser of its own.
#pragma once

#include <memory>
#include <string_view>

#include "events/parser.hpp"

namespace velmo::parser {

class ParserLease {
 public:
  ParserLease(std::string_view text, const events::ParserOptions& options);
  ~ParserLease();
  ParserLease(const ParserLease&) = delete;
  ParserLease& operator=(const ParserLease&) = delete;

  events::Parser& operator*() noexcept { return *parser_; }
  events::Parser* operator->() noexcept { return parser_; }

 private:
  events::Parser* parser_ = nullptr;
  std::unique_ptr<events::Parser> owned_;
};

}  // namespace velmo::parser
