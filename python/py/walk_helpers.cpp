// YamlDocument._walk_paths and _scalar_paths: the paths of a document's nodes, in pre-order.
#include <vector>

#include "binding/callable.hpp"
#include "bindings.hpp"
#include "convert/py_text.hpp"
#include "py/editing/document.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

// Visits every node reachable through scalar keys and sequence indexes (an explicit stack, so no depth limit),
// adding a tuple of its path for each node that `wanted` accepts.
template <class Wanted>
nb::list walk(const Node& root, Wanted wanted) {
  struct Item {
    const Node* node;
    std::size_t depth;  // length of the node's path
    nb::object segment;  // the last segment of the path (null for the root)
  };
  nb::list out;
  std::vector<nb::object> path;
  std::vector<Item> stack;
  stack.push_back({&root, 0, nb::object()});
  while (!stack.empty()) {
    Item it = std::move(stack.back());
    stack.pop_back();
    path.resize(it.depth == 0 ? 0 : it.depth - 1);
    if (it.depth > 0) path.push_back(std::move(it.segment));
    if (wanted(*it.node)) {
      nb::object t = nb::steal(PyTuple_New(static_cast<Py_ssize_t>(path.size())));
      for (std::size_t i = 0; i < path.size(); ++i) {
        PyTuple_SET_ITEM(t.ptr(), static_cast<Py_ssize_t>(i), path[i].inc_ref().ptr());
      }
      out.append(t);
    }
    const Node& n = *it.node;
    if (n.is_sequence()) {
      for (std::size_t i = n.size(); i-- > 0;) stack.push_back({&n.items()[i], it.depth + 1, nb::int_(i)});
    } else if (n.is_mapping()) {
      const Pairs& pairs = n.pairs();
      for (std::size_t i = pairs.size(); i-- > 0;) {
        const Node& key = pairs[i].key();
        if (!key.is_scalar()) continue;
        stack.push_back({&pairs[i].value(), it.depth + 1, nb::steal(make_str(key.value().view()))});
      }
    }
  }
  return out;
}

constexpr Params<0> kSelfOnly{{}, 0};

constexpr char kWalkPaths[] = "_walk_paths";
nb::object walk_paths(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  return walk(d.root, [](const Node&) { return true; });
}

constexpr char kScalarPaths[] = "_scalar_paths";
nb::object scalar_paths(nb::handle self, Args) {
  YamlDocument& d = document_of(self);
  SharedAccess access(d);
  return walk(d.root, [](const Node& n) { return n.is_scalar() || n.is_null(); });
}

PyMethodDef g_defs[] = {
    method_def<kWalkPaths, kSelfOnly, walk_paths>(
        "_walk_paths($self, /)\n--\n\nWalk the AST depth-first, returning a list of path tuples.\nEach path tuple "
        "contains strings (mapping keys) and ints (sequence indices).\nThe first element is always the root node "
        "(empty path)."),
    method_def<kScalarPaths, kSelfOnly, scalar_paths>(
        "_scalar_paths($self, /)\n--\n\nWalk only scalar/null nodes, returning their path tuples."),
};

}  // namespace

void bind_document_walks(nb::handle cls) {
  for (PyMethodDef& def : g_defs) add_method(cls, def);
}

}  // namespace velmo::py
