#include "parser/load.hpp"

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "events/parser.hpp"
#include "events/plain_block_parser.hpp"
#include "parser/parser_lease.hpp"
#include "parser/tree_builder.hpp"
#include "parser/yaml/merge.hpp"
#include "text/unicode.hpp"

namespace velmo::parser {

namespace {

bool is_blank(std::string_view text) noexcept {
  std::size_t i = 0;
  while (const std::size_t n = text::white_space_length_at(text, i)) i += n;
  return i == text.size();
}

// Builds the trees of the whole source into a fresh `builder`: through the plain block fast path when the text
// lies within it, else (starting over) through the full parser. The parse failure, if any, as a LoadError.
std::optional<LoadError> build(const SharedText& source, const BuildOptions& build_options,
                               std::optional<TreeBuilder>& builder) {
  const std::string_view text = source.view();
  events::ParserOptions options;
  options.comments = std::memchr(text.data(), '#', text.size()) != nullptr;
  builder.emplace(source, build_options);
  if (events::parse_plain_block(text, *builder, options.comments)) return std::nullopt;
  builder.reset();
  builder.emplace(source, build_options);
  ParserLease parser(text, options);
  events::Event event;
  while ((*parser).next(event)) (*builder)(event);
  if (const events::ParseError* error = (*parser).error()) {
    return LoadError::parse("YAML parse error: " + error->description());
  }
  return std::nullopt;
}

// Building errors in their order of precedence (after a parse failure).
std::optional<LoadError> build_error(const TreeBuilder& builder) {
  if (builder.duplicate_key()) return LoadError::duplicate_key(*builder.duplicate_key());
  if (builder.depth_exceeded()) return LoadError::depth_exceeded();
  return std::nullopt;
}

// Merging copies nodes, so a short text can ask for an enormous tree. A document may grow by merges to this
// many copied nodes plus a multiple of its own size; beyond that the load fails rather than exhaust memory.
constexpr std::size_t kMergeBaseBudget = std::size_t{1} << 20;
constexpr std::size_t kMergeBudgetPerNode = 8;

std::optional<LoadError> merge(Node& root) {
  const std::size_t budget = kMergeBaseBudget + kMergeBudgetPerNode * count_nodes(root);
  if (resolve_merges(root, budget)) return std::nullopt;
  return LoadError::parse("YAML parse error: merge keys would copy more than " + std::to_string(budget) +
                          " nodes");
}

BuildOptions build_options(const LoadOptions& options, bool collect_documents) {
  return BuildOptions{options.max_depth, options.allow_duplicate_keys, collect_documents};
}

// Tree positions are 32-bit byte offsets, so larger texts are refused before parsing.
std::optional<LoadError> check_size(std::string_view text) {
  if (text.size() <= SharedText::kMaxBytes) return std::nullopt;
  events::ParseError error{"input exceeds the configured limit of " + std::to_string(SharedText::kMaxBytes) + " bytes",
                           {}};
  return LoadError::parse("YAML parse error: " + error.description());
}

}  // namespace

LoadOneResult load_one(const SharedText& source, const LoadOptions& options) {
  if (is_blank(source.view())) return Node::null();
  std::optional<TreeBuilder> builder;
  if (auto error = build(source, build_options(options, false), builder)) return std::move(*error);
  if (auto error = build_error(*builder)) return std::move(*error);
  std::optional<Node> root = builder->take_root();
  if (!root) return Node::null();
  if (options.resolve_merges && builder->merge_key_seen()) {
    if (auto error = merge(*root)) return std::move(*error);
  }
  return std::move(*root);
}

LoadAllResult load_all(const SharedText& source, const LoadOptions& options) {
  if (is_blank(source.view())) return std::vector<Node>();
  std::optional<TreeBuilder> builder;
  if (auto error = build(source, build_options(options, true), builder)) return std::move(*error);
  if (auto error = build_error(*builder)) return std::move(*error);
  std::vector<Node> documents = builder->take_documents();
  if (documents.empty()) {
    std::optional<Node> root = builder->take_root();
    documents.push_back(root ? std::move(*root) : Node::null());
  }
  if (options.resolve_merges && builder->merge_key_seen()) {
    for (Node& document : documents) {
      if (auto error = merge(document)) return std::move(*error);
    }
  }
  return documents;
}

LoadOneResult load_one(std::string_view text, const LoadOptions& options) {
  if (auto error = check_size(text)) return std::move(*error);
  return load_one(SharedText::copy_of(text), options);
}

LoadAllResult load_all(std::string_view text, const LoadOptions& options) {
  if (auto error = check_size(text)) return std::move(*error);
  return load_all(SharedText::copy_of(text), options);
}

}  // namespace velmo::parser
