#include "py/load_common.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <variant>

#include "convert/tape_to_python.hpp"
#include "convert/tree_to_python.hpp"
#include "errors.hpp"
#include "registries/tag_registry.hpp"
#include "schema/schema_name.hpp"
#include "tape/event_tape.hpp"
#include "text/unicode.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

SharedText checked_utf8(std::string_view bytes) {
  if (auto bad = text::find_utf8_error(bytes)) {
    std::string detail = bad->length == 0
                             ? "incomplete utf-8 byte sequence from index " + std::to_string(bad->index)
                             : "invalid utf-8 sequence of " + std::to_string(bad->length) + " bytes from index " +
                                   std::to_string(bad->index);
    raise(Error::keyed(ErrorClass::YamlParseError, "invalid-utf8", {{"detail", detail}}));
  }
  return SharedText::copy_of(bytes);
}

[[noreturn]] void raise_not_str_or_bytes() { raise(Error::keyed(ErrorClass::YamlTypeError, "expected-str-or-bytes")); }

// Unix file reading with the OS error text kept for the message.
class FileReader {
 public:
  explicit FileReader(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ~FileReader() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // The whole content, or false with errno set.
  bool read_all(std::string& out) {
    if (fd_ < 0) return false;
    struct stat st {};
    if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
      errno = EISDIR;
      return false;
    }
    if (st.st_size > 0) out.reserve(static_cast<std::size_t>(st.st_size));
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(fd_, buf, sizeof buf);
      if (n < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (n == 0) return true;
      out.append(buf, static_cast<std::size_t>(n));
    }
  }

 private:
  int fd_;
};

[[noreturn]] void raise_read_error(std::string_view path, std::string detail) {
  raise(Error::keyed(ErrorClass::OSError, "file-read-error", {{"detail", detail}, {"path", path}}));
}

}  // namespace

SharedText source_from_str_or_bytes(nb::handle yaml) {
  PyObject* o = yaml.ptr();
  if (PyUnicode_Check(o)) {
    Py_ssize_t size = 0;
    const char* data = PyUnicode_AsUTF8AndSize(o, &size);
    if (data == nullptr) throw nb::python_error();
    return SharedText::copy_of({data, static_cast<std::size_t>(size)});
  }
  if (PyBytes_Check(o)) return checked_utf8({PyBytes_AS_STRING(o), static_cast<std::size_t>(PyBytes_GET_SIZE(o))});
  if (PyByteArray_Check(o)) {
    return checked_utf8({PyByteArray_AS_STRING(o), static_cast<std::size_t>(PyByteArray_GET_SIZE(o))});
  }
  if (!PySequence_Check(o)) raise_not_str_or_bytes();
  nb::object items = nb::steal(PySequence_Fast(o, ""));
  if (!items.is_valid()) {
    PyErr_Clear();
    raise_not_str_or_bytes();
  }
  Py_ssize_t n = PySequence_Fast_GET_SIZE(items.ptr());
  PyObject** raw = PySequence_Fast_ITEMS(items.ptr());
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(n));
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (!PyLong_Check(raw[i])) raise_not_str_or_bytes();
    int overflow = 0;
    long v = PyLong_AsLongAndOverflow(raw[i], &overflow);
    if (overflow != 0 || v < 0 || v > 255) raise_not_str_or_bytes();
    bytes.push_back(static_cast<char>(v));
  }
  return checked_utf8(bytes);
}

SharedText source_from_file(std::string_view path) {
  std::string content;
  FileReader reader{std::string(path)};
  if (!reader.read_all(content)) {
    int err = errno;
    raise_read_error(path, std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")");
  }
  if (!text::is_valid_utf8(content)) raise_read_error(path, "stream did not contain valid UTF-8");
  return SharedText::copy_of(content);
}

SchemaHandle schema_from_name(std::string_view name) {
  SchemaNameResult r = resolve_schema_name(name);
  if (auto* e = std::get_if<Error>(&r)) raise(*e);
  return std::get<SchemaHandle>(std::move(r));
}

Node load_one_released(const SharedText& source, const parser::LoadOptions& options) {
  parser::LoadOneResult r;
  {
    nb::gil_scoped_release unlocked;
    r = parser::load_one(source, options);
  }
  if (auto* e = std::get_if<LoadError>(&r)) raise(*e, options.max_depth);
  return std::get<Node>(std::move(r));
}

std::vector<Node> load_all_released(const SharedText& source, const parser::LoadOptions& options) {
  parser::LoadAllResult r;
  {
    nb::gil_scoped_release unlocked;
    r = parser::load_all(source, options);
  }
  if (auto* e = std::get_if<LoadError>(&r)) raise(*e, options.max_depth);
  return std::get<std::vector<Node>>(std::move(r));
}

nb::object value_of(const Node& root, const SchemaHandle& schema, std::string_view text) {
  PyObject* o = tree_to_python(root, schema, text.find('&') != std::string_view::npos);
  if (o == nullptr) throw nb::python_error();
  return nb::steal(o);
}

}  // namespace velmo::py

namespace velmo::py {
namespace {

// Most streams are plain data: they go from the parser onto an event tape and from there straight to values.
// Returns nothing when the stream needs the tree (merge keys, aliases, keys the tape cannot tell apart, ...).
std::optional<nb::object> load_values_from_tape(std::string_view text, const SchemaHandle& schema,
                                                const parser::LoadOptions& options, bool all_documents) {
  tape::TapeLease tape;
  tape::EventTape::Outcome outcome;
  {
    nb::gil_scoped_release unlocked;
    outcome = tape->record(text, options.max_depth);
  }
  if (outcome == tape::EventTape::Outcome::Failed) raise(*tape->error(), options.max_depth);
  if (outcome == tape::EventTape::Outcome::NeedsTree) return std::nullopt;
  bool needs_tree = false;
  PyObject* docs = tape_documents_to_python(*tape, schema, &needs_tree);
  if (docs == nullptr) {
    if (needs_tree) return std::nullopt;
    throw nb::python_error();
  }
  nb::list documents = nb::steal<nb::list>(docs);
  Py_ssize_t n = PyList_GET_SIZE(docs);
  if (all_documents) {
    // A stream with no document at all (only comments) loads as one null document.
    if (n == 0) documents.append(nb::none());
    return documents;
  }
  return n == 0 ? nb::none() : nb::borrow(PyList_GET_ITEM(docs, n - 1));
}

}  // namespace

nb::object load_values(std::string_view text, const SchemaHandle& schema, const parser::LoadOptions& options,
                       bool all_documents, bool run_tag_handlers) {
  if (text::trim_white_space(text).empty()) return all_documents ? nb::object(nb::list()) : nb::none();
  // The tape ignores tags, so tag handlers need the tree.
  if (!(run_tag_handlers && tag_handlers_registered())) {
    if (auto values = load_values_from_tape(text, schema, options, all_documents)) return *values;
  }
  SharedText source = SharedText::copy_of(text);
  if (all_documents) {
    std::vector<Node> roots = load_all_released(source, options);
    nb::list out;
    for (const Node& root : roots) out.append(value_of(root, schema, text));
    return out;
  }
  Node root = load_one_released(source, options);
  if (run_tag_handlers) apply_tag_handlers(root);
  return value_of(root, schema, text);
}

}  // namespace velmo::py
