#include "emit/json_reader.hpp"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <optional>
#include <vector>

#include "emit/format_float.hpp"
#include "emit/needs_quotes.hpp"
#include "tree/pairs.hpp"

namespace velmo {

namespace {

constexpr const char* kNestingMessage = "recursion limit exceeded";

Node text_scalar(SharedText text) {
  const ScalarStyle style = needs_quotes(text.view()) ? ScalarStyle::DoubleQuoted : ScalarStyle::Plain;
  return Node::scalar(std::move(text), style);
}

template <class Int>
Node integer_scalar(Int value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  return Node::scalar(SharedText::copy_of(std::string_view(digits, static_cast<std::size_t>(end - digits))));
}

Node double_scalar(double value) {
  std::string text;
  append_float_element(text, value);
  return Node::scalar(SharedText::copy_of(text));
}

// SAX handler that builds the tree on an explicit stack of open collections, so nesting costs heap, not stack.
// Members of open objects wait in one shared list until their object closes and is sorted.
class TreeHandler {
 public:
  bool Null() { return put(Node::null()); }
  bool Bool(bool b) { return put(Node::scalar(SharedText::copy_of(b ? "true" : "false"))); }
  bool Int(int i) { return put(integer_scalar(i)); }
  bool Uint(unsigned u) { return put(integer_scalar(u)); }
  bool Int64(std::int64_t i) { return put(integer_scalar(i)); }
  bool Uint64(std::uint64_t u) {
    if (u <= static_cast<std::uint64_t>(INT64_MAX)) return put(integer_scalar(u));
    return put(double_scalar(static_cast<double>(u)));
  }
  bool Double(double d) { return put(double_scalar(d)); }
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }  // not requested
  bool String(const char* s, rapidjson::SizeType length, bool) {
    return put(text_scalar(SharedText::copy_of({s, length})));
  }

  bool StartObject() { return open(Node::mapping()); }
  bool Key(const char* s, rapidjson::SizeType length, bool) {
    // The reader reuses its string buffer, so the member keeps its own copy and sorts by a view of that.
    Member& m = members_.emplace_back();
    m.key = SharedText::copy_of({s, length});
    m.key_view = m.key.view();
    return true;
  }
  bool EndObject(rapidjson::SizeType) {
    Frame frame = std::move(open_.back());
    open_.pop_back();
    close_object(frame);
    return put(std::move(frame.node));
  }
  bool StartArray() { return open(Node::sequence()); }
  bool EndArray(rapidjson::SizeType) {
    Node node = std::move(open_.back().node);
    open_.pop_back();
    return put(std::move(node));
  }

  bool nesting_exceeded() const { return nesting_exceeded_; }
  Node take_root() { return std::move(root_); }

 private:
  struct Member {
    std::string_view key_view;  // the key's own text, kept for sorting
    SharedText key;
    Node value;
  };
  struct Frame {
    Node node;
    std::size_t first_member = 0;  // objects: where their members start in members_
  };

  bool open(Node node) {
    if (open_.size() >= kJsonMaxNesting) {
      nesting_exceeded_ = true;
      return false;
    }
    open_.push_back({std::move(node), members_.size()});
    return true;
  }

  // A finished value goes to the innermost open array, to the member whose key came last, or becomes the root.
  bool put(Node value) {
    if (open_.empty()) {
      root_ = std::move(value);
    } else if (open_.back().node.is_sequence()) {
      open_.back().node.items().push_back(std::move(value));
    } else {
      members_.back().value = std::move(value);
    }
    return true;
  }

  // Orders the object's members by key bytes; of equal keys, the one read last wins.
  void close_object(Frame& frame) {
    const auto first = members_.begin() + static_cast<std::ptrdiff_t>(frame.first_member);
    std::stable_sort(first, members_.end(),
                     [](const Member& a, const Member& b) { return a.key_view < b.key_view; });
    Pairs& pairs = frame.node.pairs();
    pairs.reserve(static_cast<std::size_t>(members_.end() - first));
    for (auto it = first; it != members_.end(); ++it) {
      const auto next = it + 1;
      if (next != members_.end() && next->key_view == it->key_view) continue;
      pairs.insert(text_scalar(std::move(it->key)), std::move(it->value));
    }
    members_.erase(first, members_.end());
  }

  std::vector<Frame> open_;
  std::vector<Member> members_;
  Node root_;
  bool nesting_exceeded_ = false;
};

// Short descriptions in the style of common JSON readers.
const char* describe(rapidjson::ParseErrorCode code, bool at_end) {
  using rapidjson::ParseErrorCode;
  switch (code) {
    case rapidjson::kParseErrorDocumentEmpty: return "EOF while parsing a value";
    case rapidjson::kParseErrorDocumentRootNotSingular: return "trailing characters";
    case rapidjson::kParseErrorValueInvalid: return at_end ? "EOF while parsing a value" : "expected value";
    case rapidjson::kParseErrorObjectMissName: return at_end ? "EOF while parsing an object" : "key must be a string";
    case rapidjson::kParseErrorObjectMissColon: return at_end ? "EOF while parsing an object" : "expected `:`";
    case rapidjson::kParseErrorObjectMissCommaOrCurlyBracket:
      return at_end ? "EOF while parsing an object" : "expected `,` or `}`";
    case rapidjson::kParseErrorArrayMissCommaOrSquareBracket:
      return at_end ? "EOF while parsing a list" : "expected `,` or `]`";
    case rapidjson::kParseErrorStringUnicodeEscapeInvalidHex: return "invalid escape";
    case rapidjson::kParseErrorStringUnicodeSurrogateInvalid: return "lone leading surrogate in hex escape";
    case rapidjson::kParseErrorStringEscapeInvalid: return "invalid escape";
    case rapidjson::kParseErrorStringMissQuotationMark: return "EOF while parsing a string";
    case rapidjson::kParseErrorStringInvalidEncoding: return "control character or invalid UTF-8 in string";
    case rapidjson::kParseErrorNumberTooBig: return "number out of range";
    case rapidjson::kParseErrorNumberMissFraction: return "invalid number";
    case rapidjson::kParseErrorNumberMissExponent: return "invalid number";
    default: return rapidjson::GetParseError_En(code);
  }
}

JsonError positioned(std::string message, std::string_view text, std::size_t offset) {
  offset = std::min(offset, text.size());
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  message += " at line " + std::to_string(line) + " column " + std::to_string(offset - line_start + 1);
  return {std::move(message)};
}

}  // namespace

std::variant<Node, JsonError> read_json(std::string_view text) {
  constexpr unsigned kFlags =
      rapidjson::kParseIterativeFlag | rapidjson::kParseFullPrecisionFlag | rapidjson::kParseValidateEncodingFlag;
  rapidjson::MemoryStream stream(text.data(), text.size());
  rapidjson::Reader reader;
  TreeHandler handler;
  const rapidjson::ParseResult result = reader.Parse<kFlags>(stream, handler);
  if (result.IsError()) {
    if (handler.nesting_exceeded()) return positioned(kNestingMessage, text, result.Offset());
    const bool at_end = result.Offset() >= text.size();
    return positioned(describe(result.Code(), at_end), text, result.Offset());
  }
  // The memory stream reads a NUL byte as the end of input, so anything after one is left unread.
  if (stream.Tell() < text.size()) return positioned("trailing characters", text, stream.Tell());
  return handler.take_root();
}

}  // namespace velmo
