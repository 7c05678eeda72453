#include "convert/tape_to_python.hpp"

#include <vector>

#include "convert/key_cache.hpp"
#include "convert/scalar_to_python.hpp"

namespace velmo::py {
namespace {

using tape::Entry;

class TapeConverter {
 public:
  TapeConverter(const tape::EventTape& tape, const SchemaHandle& schema) : tape_(tape), schema_(schema) {}

  ~TapeConverter() {
    Py_XDECREF(root_);
    for (Frame& f : stack_) Py_XDECREF(f.pending_key);
    Py_XDECREF(documents_);
  }

  PyObject* run(bool* needs_tree) {
    documents_ = PyList_New(0);
    if (documents_ == nullptr) return nullptr;
    for (const Entry& e : tape_.entries()) {
      bool ok = true;
      switch (e.kind) {
        case Entry::Kind::Scalar:
          ok = on_scalar(e);
          break;
        case Entry::Kind::MappingStart:
        case Entry::Kind::SequenceStart:
          ok = on_collection(e);
          break;
        case Entry::Kind::End:
          stack_.pop_back();
          break;
        case Entry::Kind::DocumentEnd:
          if (root_ != nullptr) {
            ok = PyList_Append(documents_, root_) == 0;
            Py_CLEAR(root_);
          }
          break;
      }
      if (!ok) {
        *needs_tree = needs_tree_;
        return nullptr;
      }
    }
    PyObject* out = documents_;
    documents_ = nullptr;
    return out;
  }

 private:
  struct Frame {
    PyObject* container;  // borrowed: linked into its parent or the root as soon as it was made
    bool mapping;
    Py_ssize_t next;        // sequences: the next item's index
    PyObject* pending_key;  // mappings: the key waiting for its value (owned)
  };

  bool fall_back() {
    needs_tree_ = true;
    return false;
  }

  bool expecting_key() const { return !stack_.empty() && stack_.back().mapping && stack_.back().pending_key == nullptr; }

  bool on_scalar(const Entry& e) {
    std::string_view text = tape_.text(e);
    if (expecting_key()) {
      PyObject* key = keys_.get(text);
      if (key == nullptr) return false;
      stack_.back().pending_key = key;
      return true;
    }
    PyObject* value = scalar_to_python(e.style == events::ScalarStyle::Plain, text, schema_);
    return value != nullptr && attach(value);
  }

  bool on_collection(const Entry& e) {
    if (expecting_key()) return fall_back();
    bool mapping = e.kind == Entry::Kind::MappingStart;
    PyObject* obj = mapping ? PyDict_New() : PyList_New(static_cast<Py_ssize_t>(e.size));
    if (obj == nullptr || !attach(obj)) return false;
    stack_.push_back({obj, mapping, 0, nullptr});
    return true;
  }

  // Links a new value (a reference that this call takes over) into the open collection or makes it the root.
  bool attach(PyObject* value) {
    if (stack_.empty()) {
      Py_XDECREF(root_);
      root_ = value;
      return true;
    }
    Frame& f = stack_.back();
    if (!f.mapping) {
      PyList_SET_ITEM(f.container, f.next++, value);
      return true;
    }
    PyObject* key = f.pending_key;
    f.pending_key = nullptr;
    Py_ssize_t before = PyDict_GET_SIZE(f.container);
    int rc = PyDict_SetItem(f.container, key, value);
    Py_DECREF(key);
    Py_DECREF(value);
    if (rc < 0) return false;
    // Two keys with one text: whether they are one key (a duplicate) or two keys that share a dict item is the
    // tree's call.
    if (PyDict_GET_SIZE(f.container) == before) return fall_back();
    return true;
  }

  const tape::EventTape& tape_;
  const SchemaHandle& schema_;
  std::vector<Frame> stack_;
  KeyCache keys_;
  PyObject* root_ = nullptr;
  PyObject* documents_ = nullptr;
  bool needs_tree_ = false;
};

}  // namespace

PyObject* tape_documents_to_python(const tape::EventTape& tape, const SchemaHandle& schema, bool* needs_tree) {
  *needs_tree = false;
  CollectorPause pause;
  return TapeConverter(tape, schema).run(needs_tree);
}

}  // namespace velmo::py
