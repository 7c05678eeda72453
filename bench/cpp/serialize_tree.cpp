// Tree serialization timed next to libyaml's emitter fed the same trees as events, in the same run.
//
// Corpora: every file of the real-world YAML folder (configuration files: short scalars, comments, nesting),
// and a generated data document (a long sequence of records with numbers and free text). Each side writes
// every document into one reused buffer; the best of several rounds is reported in MB of output per second.
#include <yaml.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "parser/load.hpp"
#include "serializer/serializer.hpp"

namespace {

namespace fs = std::filesystem;
using velmo::Node;

std::vector<Node> load_real_world() {
  std::vector<Node> documents;
  const fs::path folder = fs::path(VELMO_SHARED_DIR) / "real-world-yaml";
  if (!fs::exists(folder)) return documents;
  std::vector<fs::path> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    const auto ext = entry.path().extension();
    if (entry.is_regular_file() && (ext == ".yaml" || ext == ".yml")) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    auto loaded = velmo::parser::load_all(std::string_view(text.str()), velmo::parser::LoadOptions{});
    if (auto* roots = std::get_if<std::vector<Node>>(&loaded)) {
      for (Node& root : *roots) documents.push_back(std::move(root));
    }
  }
  return documents;
}

Node plain(std::string_view text) { return Node::scalar(velmo::SharedText::copy_of(text)); }

std::vector<Node> make_records(std::size_t count) {
  static const char* const words[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
                                      "india", "juliet", "kilo", "lima"};
  std::mt19937_64 rng(42);
  Node records = Node::sequence();
  records.items().reserve(count);
  char buf[64];
  for (std::size_t i = 0; i < count; ++i) {
    Node record = Node::mapping();
    record.pairs().insert(plain("id"), plain(std::to_string(i)));
    record.pairs().insert(plain("name"), plain(words[rng() % std::size(words)]));
    std::snprintf(buf, sizeof buf, "%.3f", static_cast<double>(rng() % 100000) / 7.0);
    record.pairs().insert(plain("score"), plain(buf));
    record.pairs().insert(plain("active"), plain(rng() % 2 ? "true" : "false"));
    std::string note;
    for (int w = 0; w < 6; ++w) {
      if (w) note += ' ';
      note += words[rng() % std::size(words)];
    }
    record.pairs().insert(plain("note"), plain(note));
    Node tags = Node::sequence(true);
    tags.items().push_back(plain(words[rng() % std::size(words)]));
    tags.items().push_back(plain(words[rng() % std::size(words)]));
    record.pairs().insert(plain("tags"), std::move(tags));
    records.items().push_back(std::move(record));
  }
  std::vector<Node> documents;
  documents.push_back(std::move(records));
  return documents;
}

// libyaml's side: the same tree walked into emitter events.
class LibyamlWriter {
 public:
  explicit LibyamlWriter(std::string& out) : out_(out) {}

  bool write(const Node& root) {
    yaml_emitter_t emitter;
    if (!yaml_emitter_initialize(&emitter)) return false;
    yaml_emitter_set_output(&emitter, &LibyamlWriter::append, this);
    yaml_emitter_set_unicode(&emitter, 1);
    yaml_event_t event;
    bool ok = yaml_stream_start_event_initialize(&event, YAML_UTF8_ENCODING) && yaml_emitter_emit(&emitter, &event);
    ok = ok && yaml_document_start_event_initialize(&event, nullptr, nullptr, nullptr, 1) &&
         yaml_emitter_emit(&emitter, &event);
    ok = ok && emit(emitter, root);
    ok = ok && yaml_document_end_event_initialize(&event, 1) && yaml_emitter_emit(&emitter, &event);
    ok = ok && yaml_stream_end_event_initialize(&event) && yaml_emitter_emit(&emitter, &event);
    yaml_emitter_delete(&emitter);
    return ok;
  }

 private:
  static int append(void* self, unsigned char* buffer, size_t size) {
    static_cast<LibyamlWriter*>(self)->out_.append(reinterpret_cast<const char*>(buffer), size);
    return 1;
  }

  static yaml_char_t* text(const std::string* s) {
    return s ? reinterpret_cast<yaml_char_t*>(const_cast<char*>(s->c_str())) : nullptr;
  }

  static yaml_scalar_style_t style_of(velmo::ScalarStyle style) {
    switch (style) {
      case velmo::ScalarStyle::Plain: return YAML_PLAIN_SCALAR_STYLE;
      case velmo::ScalarStyle::SingleQuoted: return YAML_SINGLE_QUOTED_SCALAR_STYLE;
      case velmo::ScalarStyle::DoubleQuoted: return YAML_DOUBLE_QUOTED_SCALAR_STYLE;
      case velmo::ScalarStyle::Literal: return YAML_LITERAL_SCALAR_STYLE;
      case velmo::ScalarStyle::Folded: return YAML_FOLDED_SCALAR_STYLE;
    }
    return YAML_ANY_SCALAR_STYLE;
  }

  bool emit(yaml_emitter_t& emitter, const Node& node) {
    yaml_event_t event;
    if (node.is_alias()) {
      alias_name_.assign(node.alias_name());
      return yaml_alias_event_initialize(&event, text(&alias_name_)) && yaml_emitter_emit(&emitter, &event);
    }
    yaml_char_t* anchor = text(node.anchor());
    tag_.clear();
    if (const velmo::Tag* tag = node.tag()) tag_ = velmo::tag_text(*tag);
    yaml_char_t* tag = tag_.empty() ? nullptr : text(&tag_);
    if (node.is_null() || node.is_scalar()) {
      // data() is never null, even for an empty text, as libyaml requires.
      const std::string_view value = node.is_null() ? std::string_view("null")
                                                    : std::string_view(node.value().data(), node.value().size());
      const auto style = node.is_null() ? YAML_PLAIN_SCALAR_STYLE : style_of(node.style());
      return yaml_scalar_event_initialize(&event, anchor, tag,
                                          reinterpret_cast<yaml_char_t*>(const_cast<char*>(value.data())),
                                          static_cast<int>(value.size()), 1, 1, style) &&
             yaml_emitter_emit(&emitter, &event);
    }
    if (node.is_sequence()) {
      const auto style = node.flow_style() ? YAML_FLOW_SEQUENCE_STYLE : YAML_BLOCK_SEQUENCE_STYLE;
      if (!yaml_sequence_start_event_initialize(&event, anchor, tag, 1, style) || !yaml_emitter_emit(&emitter, &event)) {
        return false;
      }
      for (const Node& item : node.items()) {
        if (!emit(emitter, item)) return false;
      }
      return yaml_sequence_end_event_initialize(&event) && yaml_emitter_emit(&emitter, &event);
    }
    const auto style = node.flow_style() ? YAML_FLOW_MAPPING_STYLE : YAML_BLOCK_MAPPING_STYLE;
    if (!yaml_mapping_start_event_initialize(&event, anchor, tag, 1, style) || !yaml_emitter_emit(&emitter, &event)) {
      return false;
    }
    for (const velmo::PairEntry& entry : node.pairs()) {
      if (!emit(emitter, entry.key()) || !emit(emitter, entry.value())) return false;
    }
    return yaml_mapping_end_event_initialize(&event) && yaml_emitter_emit(&emitter, &event);
  }

  std::string& out_;
  std::string alias_name_;
  std::string tag_;
};

// Best of `rounds`, in seconds; `bytes` receives the output size of one round.
template <typename Fn>
double best_seconds(int rounds, Fn&& fn) {
  double best = 1e300;
  for (int r = 0; r < rounds; ++r) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    const auto stop = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(stop - start).count());
  }
  return best;
}

void compare(const char* name, const std::vector<Node>& documents, int rounds) {
  std::string out;
  std::size_t velmo_bytes = 0;
  const double velmo_s = best_seconds(rounds, [&] {
    velmo_bytes = 0;
    for (const Node& document : documents) {
      out.clear();
      if (velmo::serialize_into(out, document, velmo::SerializeOptions{})) std::abort();
      velmo_bytes += out.size();
    }
  });
  std::size_t libyaml_bytes = 0;
  const double libyaml_s = best_seconds(rounds, [&] {
    libyaml_bytes = 0;
    for (const Node& document : documents) {
      out.clear();
      LibyamlWriter writer(out);
      if (!writer.write(document)) std::abort();
      libyaml_bytes += out.size();
    }
  });
  const double mb = 1e6;
  std::printf("%-22s %5zu docs  velmo %8.1f MB/s (%6.2f ms)  libyaml %7.1f MB/s (%6.2f ms)  libyaml/velmo time %.1fx\n",
              name, documents.size(), static_cast<double>(velmo_bytes) / mb / velmo_s, velmo_s * 1e3,
              static_cast<double>(libyaml_bytes) / mb / libyaml_s, libyaml_s * 1e3, libyaml_s / velmo_s);
}

}  // namespace

int main() {
  std::printf("serialize_tree: tree to YAML text, best of several rounds, output MB per second\n");
  const std::vector<Node> real_world = load_real_world();
  if (!real_world.empty()) compare("real-world-yaml", real_world, 15);
  compare("100k generated records", make_records(100000), 7);
  return 0;
}
