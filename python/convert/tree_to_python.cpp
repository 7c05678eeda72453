#include "convert/tree_to_python.hpp"

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "convert/key_cache.hpp"
#include "convert/py_text.hpp"
#include "convert/scalar_to_python.hpp"
#include "errors.hpp"

namespace velmo::py {
namespace {

std::uint64_t count_nodes(const Node& root) {
  std::uint64_t count = 0;
  std::vector<const Node*> stack{&root};
  while (!stack.empty()) {
    const Node* n = stack.back();
    stack.pop_back();
    ++count;
    if (n->is_sequence()) {
      for (const Node& item : n->items()) stack.push_back(&item);
    } else if (n->is_mapping()) {
      for (const PairEntry& e : n->pairs()) {
        stack.push_back(&e.key());
        stack.push_back(&e.value());
      }
    }
  }
  return count;
}

class Converter {
 public:
  Converter(const Node& node, const SchemaHandle& schema, const Node* anchor_root)
      : node_(node), anchor_root_(anchor_root), schema_(schema) {
    if (anchor_root_ != nullptr) build_anchor_table();
  }

  PyObject* run() {
    PyObject* result = open(node_);
    if (result == nullptr) return nullptr;
    while (!stack_.empty()) {
      Frame& f = stack_.back();
      if (f.next == f.node->size()) {
        if (f.expanding) guard_.pop_back();
        stack_.pop_back();
        continue;
      }
      std::size_t i = f.next++;
      PyObject* container = f.container;
      if (f.node->is_sequence()) {
        PyObject* item = open(f.node->items()[i]);
        if (item == nullptr) return fail(result);
        PyList_SET_ITEM(container, static_cast<Py_ssize_t>(i), item);
      } else {
        const PairEntry& entry = f.node->pairs()[i];
        PyObject* value = open(entry.value());
        if (value == nullptr) return fail(result);
        PyObject* key = make_key(entry.key());
        if (key == nullptr) {
          Py_DECREF(value);
          return fail(result);
        }
        int rc = PyDict_SetItem(container, key, value);
        Py_DECREF(key);
        Py_DECREF(value);
        if (rc < 0) return fail(result);
      }
    }
    return result;
  }

 private:
  struct Frame {
    const Node* node;
    PyObject* container;  // borrowed: owned by its parent, or the result
    std::size_t next;
    bool expanding;  // this collection is an alias's target and sits on the expansion guard
  };

  // Containers are linked into their parent as soon as they are made and filled afterwards, so dropping the
  // result releases everything built so far.
  PyObject* fail(PyObject* result) {
    Py_DECREF(result);
    return nullptr;
  }

  void build_anchor_table() {
    // Pre-order; a later node with the same anchor name replaces the earlier one.
    std::vector<const Node*> stack{anchor_root_};
    while (!stack.empty()) {
      const Node* n = stack.back();
      stack.pop_back();
      if (const std::string* a = n->anchor()) anchors_[*a] = n;
      if (n->is_sequence()) {
        const auto& items = n->items();
        for (auto it = items.rbegin(); it != items.rend(); ++it) stack.push_back(&*it);
      } else if (n->is_mapping()) {
        const Pairs& pairs = n->pairs();
        for (std::size_t k = pairs.size(); k-- > 0;) {
          stack.push_back(&pairs[k].value());
          stack.push_back(&pairs[k].key());
        }
      }
    }
  }

  // Starts converting `n`: scalars come back finished, collections come back empty with a frame pushed to fill
  // them. Returns a new reference or nullptr with an exception set.
  PyObject* open(const Node& start) {
    const Node* n = &start;
    bool expanding = false;
    if (n->is_alias()) {
      auto it = anchors_.find(n->alias_name());
      if (it == anchors_.end() || std::find(guard_.begin(), guard_.end(), it->second) != guard_.end()) {
        Py_RETURN_NONE;
      }
      n = it->second;
      expanding = true;
    }
    if (!guard_.empty() || expanding) {
      if (!charge_expansion()) return nullptr;
    }
    switch (n->kind()) {
      case NodeKind::Null:
      case NodeKind::Alias:
        Py_RETURN_NONE;
      case NodeKind::Scalar:
        return convert_scalar(*n);
      case NodeKind::Sequence: {
        PyObject* list = PyList_New(static_cast<Py_ssize_t>(n->size()));
        if (list == nullptr) return nullptr;
        push(n, list, expanding);
        return list;
      }
      case NodeKind::Mapping: {
        PyObject* dict = PyDict_New();
        if (dict == nullptr) return nullptr;
        push(n, dict, expanding);
        return dict;
      }
    }
    Py_RETURN_NONE;
  }

  void push(const Node* n, PyObject* container, bool expanding) {
    if (n->size() == 0) return;
    if (expanding) guard_.push_back(n);
    stack_.push_back({n, container, 0, expanding});
  }

  bool charge_expansion() {
    if (expansion_limit_ == 0) {
      expansion_limit_ = std::max(kMinAliasExpansion, kAliasExpansionPerNode * count_nodes(*anchor_root_));
    }
    if (++expanded_ <= expansion_limit_) return true;
    std::string limit = std::to_string(expansion_limit_);
    set_pending(Error::keyed(
        ErrorClass::YamlParseError, "yaml-parse-error",
        {{"detail", "alias expansion limit exceeded: the aliases of this document expand to more than " + limit +
                        " nodes (the limit is " + std::to_string(kAliasExpansionPerNode) +
                        " times the document's node count, and at least " + std::to_string(kMinAliasExpansion) +
                        ")"}}));
    return false;
  }

  PyObject* make_key(const Node& key) {
    if (key.is_scalar()) return keys_.get(key.value().view());
    return make_str(debug_string(key));
  }

  PyObject* convert_scalar(const Node& n) {
    // Tagged scalars are where registered custom types get their say, once that registry exists; until then
    // a tag never changes the built-in result.
    return scalar_to_python(n.style() == ScalarStyle::Plain, n.value().view(), schema_);
  }

  const Node& node_;
  const Node* anchor_root_;  // where anchors are looked up; null when aliases are not expanded
  const SchemaHandle& schema_;
  std::unordered_map<std::string_view, const Node*> anchors_;
  std::vector<const Node*> guard_;
  std::vector<Frame> stack_;
  KeyCache keys_;
  std::uint64_t expanded_ = 0;
  std::uint64_t expansion_limit_ = 0;
};

}  // namespace

PyObject* tree_to_python(const Node& root, const SchemaHandle& schema, bool resolve_aliases) {
  return tree_to_python(root, schema, resolve_aliases ? &root : nullptr);
}

PyObject* tree_to_python(const Node& node, const SchemaHandle& schema, const Node* anchor_root) {
  CollectorPause pause;
  return Converter(node, schema, anchor_root).run();
}

}  // namespace velmo::py
