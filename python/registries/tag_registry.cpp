#include "registries/tag_registry.hpp"

#include <algorithm>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "convert/py_text.hpp"
#include "errors.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

struct Registration {
  std::uint32_t priority;
  nb::object handler;
};

// Handlers are only touched with the interpreter lock held, so taking and dropping their references under this
// mutex is safe; user code never runs while it is held.
struct TagRegistry {
  std::mutex mutex;
  std::map<std::string, std::vector<Registration>, std::less<>> by_name;
};

TagRegistry& registry() {
  // Never destroyed: the handlers it holds may outlive the interpreter's orderly shutdown.
  static TagRegistry* r = new TagRegistry();
  return *r;
}

std::vector<Registration> handlers_for(std::string_view tag) {
  TagRegistry& r = registry();
  std::vector<Registration> copy;
  {
    std::lock_guard lock(r.mutex);
    auto it = r.by_name.find(tag);
    if (it != r.by_name.end()) copy = it->second;
  }
  std::stable_sort(copy.begin(), copy.end(),
                   [](const Registration& a, const Registration& b) { return a.priority < b.priority; });
  return copy;
}

[[noreturn]] void raise_tag_error(std::string text) { raise(Error::fixed(ErrorClass::YamlTagError, std::move(text))); }

// "TypeName: message" of the pending exception, which is cleared.
std::string describe_pending() {
  nb::python_error e;
  std::string out = Py_TYPE(e.value().ptr())->tp_name;
  if (std::size_t dot = out.rfind('.'); dot != std::string::npos) out.erase(0, dot + 1);
  nb::object message = nb::steal(PyObject_Str(e.value().ptr()));
  const char* text = message.is_valid() ? PyUnicode_AsUTF8(message.ptr()) : nullptr;
  if (text == nullptr) PyErr_Clear();
  out += ": ";
  out += text ? text : "";
  return out;
}

// Runs the handlers of one tagged scalar; returns the replacement text, or nothing when every handler skipped.
std::optional<std::string> run_handlers(const std::string& tag, std::string_view text) {
  std::vector<Registration> handlers = handlers_for(tag);
  if (handlers.empty()) return std::nullopt;
  nb::object arg = nb::steal(make_str(text));
  if (!arg.is_valid()) throw nb::python_error();
  PyObject* skip = exception_class(ErrorClass::YamlTagSkip);
  for (const Registration& reg : handlers) {
    PyObject* result = PyObject_CallOneArg(reg.handler.ptr(), arg.ptr());
    if (result == nullptr) {
      if (PyErr_ExceptionMatches(skip)) {
        PyErr_Clear();
        continue;
      }
      raise_tag_error("Tag handler '" + tag + "' failed: " + describe_pending());
    }
    nb::object owned = nb::steal(result);
    if (!PyUnicode_Check(result)) raise_tag_error("Tag handler '" + tag + "' must return a string");
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(result, &size);
    if (data == nullptr) throw nb::python_error();
    return std::string(data, static_cast<std::size_t>(size));
  }
  return std::nullopt;
}

}  // namespace

void register_tag_handler(std::string_view name, nb::handle handler, std::uint32_t priority) {
  TagRegistry& r = registry();
  nb::object ref = nb::borrow(handler);
  std::lock_guard lock(r.mutex);
  auto it = r.by_name.find(name);
  if (it == r.by_name.end()) it = r.by_name.emplace(std::string(name), std::vector<Registration>{}).first;
  it->second.push_back({priority, std::move(ref)});
}

void remove_tag_handlers(std::string_view name) {
  std::vector<Registration> dropped;  // released after the lock, as releasing may run a finaliser
  {
    TagRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    auto it = r.by_name.find(name);
    if (it == r.by_name.end()) return;
    dropped = std::move(it->second);
    r.by_name.erase(it);
  }
}

void clear_tag_handlers() {
  std::map<std::string, std::vector<Registration>, std::less<>> dropped;
  TagRegistry& r = registry();
  std::lock_guard lock(r.mutex);
  dropped.swap(r.by_name);
}

bool tag_handlers_registered() {
  TagRegistry& r = registry();
  std::lock_guard lock(r.mutex);
  return !r.by_name.empty();
}

void apply_tag_handlers(Node& root) {
  if (!tag_handlers_registered()) return;
  std::vector<Node*> stack{&root};
  while (!stack.empty()) {
    Node* n = stack.back();
    stack.pop_back();
    if (n->is_sequence()) {
      auto& items = n->items();
      for (auto it = items.rbegin(); it != items.rend(); ++it) stack.push_back(&*it);
    } else if (n->is_mapping()) {
      Pairs& pairs = n->pairs();
      for (std::size_t i = pairs.size(); i-- > 0;) stack.push_back(&pairs[i].value());
    } else if (n->is_scalar() && n->tag() != nullptr) {
      if (auto replacement = run_handlers(tag_text(*n->tag()), n->value().view())) {
        n->set_value(SharedText::copy_of(*replacement));
      }
    }
  }
}

}  // namespace velmo::py
