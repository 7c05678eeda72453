// The YAML class's streaming writers: dump_stream (to a Python object with write) and dump_file (to a native
// file). Documents are written one at a time through a 64 KiB text buffer, so memory stays flat however many
// there are.
#include <memory>
#include <string>

#include "args.hpp"
#include "binding/callable.hpp"
#include "bindings.hpp"
#include "convert/py_text.hpp"
#include "errors.hpp"
#include "py/direct_dump.hpp"
#include "py/editing/document.hpp"
#include "py/emit/native_file.hpp"
#include "py/emit/serialize_error.hpp"
#include "serializer/serializer.hpp"

namespace nb = nanobind;

namespace velmo::py {
namespace {

constexpr std::size_t kFlushThreshold = 64 * 1024;

// Where the writer hands its text. `write` raises on failure.
class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(std::string_view text) = 0;
  // The end of a successful stream.
  virtual void finish() {}
};

// A Python object's write(str), called with the lock held.
class PythonSink final : public Sink {
 public:
  explicit PythonSink(nb::handle file_obj) : file_obj_(file_obj) {}

  void write(std::string_view text) override {
    nb::object chunk = nb::steal(make_str(text));
    if (!chunk.is_valid()) throw nb::python_error();
    nb::object name = nb::str("write");
    PyObject* result = PyObject_CallMethodOneArg(file_obj_.ptr(), name.ptr(), chunk.ptr());
    if (result != nullptr) {
      Py_DECREF(result);
      return;
    }
    nb::python_error error;  // takes the pending exception
    std::string detail = nb::borrow<nb::str>(nb::handle(reinterpret_cast<PyObject*>(Py_TYPE(error.value().ptr())))
                                                 .attr("__name__"))
                             .c_str();
    detail += ": ";
    detail += nb::str(error.value()).c_str();
    raise_write_error(detail);
  }

 private:
  nb::handle file_obj_;
};

// A native file behind its 8 KiB buffer, written with the lock released.
class FileSink final : public Sink {
 public:
  explicit FileSink(NativeFile file) : file_(std::move(file)) {}
  // A stream that failed still gets what was handed over; its write errors are no longer reported.
  ~FileSink() override { (void)file_.flush(); }

  void write(std::string_view text) override {
    std::optional<std::string> error;
    {
      nb::gil_scoped_release unlocked;
      error = file_.write(text);
    }
    if (error) raise_write_error(*error);
  }

  void finish() override {
    std::optional<std::string> error;
    {
      nb::gil_scoped_release unlocked;
      error = file_.flush();
    }
    if (error) raise_write_error(*error);
  }

 private:
  BufferedFile file_;
};

class StreamWriter {
 public:
  StreamWriter(Sink& sink, bool explicit_start, bool explicit_end, bool sort_keys)
      : sink_(sink), explicit_start_(explicit_start), explicit_end_(explicit_end) {
    options_.sort_keys = sort_keys;
    buffer_.reserve(kFlushThreshold + kFlushThreshold / 4);
  }

  void run(nb::handle iterable) {
    nb::object iterator = nb::steal(PyObject_GetIter(iterable.ptr()));
    if (!iterator.is_valid()) throw nb::python_error();
    for (;;) {
      nb::object item = nb::steal(PyIter_Next(iterator.ptr()));
      if (!item.is_valid()) {
        if (PyErr_Occurred()) {
          nb::python_error failure;  // takes the iterator's exception
          hand_over_quietly();
          throw failure;
        }
        break;
      }
      try {
        write_item(item);
      } catch (nb::python_error&) {
        hand_over_quietly();
        throw;
      }
    }
    if (explicit_end_ && wrote_) buffer_ += "...\n";
    hand_over();
    sink_.finish();
  }

 private:
  void write_item(nb::handle item) {
    if (nb::isinstance<YamlDocument>(item)) {
      YamlDocument& d = document_of(item);
      ExclusiveAccess access(d);
      std::optional<SerializeError> error;
      document_text_.clear();
      {
        nb::gil_scoped_release unlocked;
        error = serialize_into(document_text_, d.root, options_);
      }
      if (error) raise_serialize_error(*error, options_.max_depth);
      append_document(document_text_);
    } else {
      DumpBuffer text;
      direct_dump(text.text(), item.ptr(), options_.sort_keys);
      append_document(text.text());
    }
  }

  void append_document(std::string_view text) {
    if (wrote_ || explicit_start_) {
      buffer_ += "---\n";
      if (buffer_.size() >= kFlushThreshold) hand_over();
    }
    while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    buffer_ += text;
    buffer_ += '\n';
    if (buffer_.size() >= kFlushThreshold) hand_over();
    wrote_ = true;
  }

  void hand_over() {
    if (buffer_.empty()) return;
    // Cleared whatever happens: text the sink refused is dropped, not offered again.
    struct Clear {
      std::string& text;
      ~Clear() { text.clear(); }
    } clear{buffer_};
    sink_.write(buffer_);
  }

  // The iterator or an item failed: what was written so far still reaches the sink before that failure is
  // raised, and a failure of the sink meanwhile is not reported over it.
  void hand_over_quietly() noexcept {
    try {
      hand_over();
    } catch (nb::python_error&) {
    } catch (const std::exception&) {
    }
  }

  Sink& sink_;
  bool explicit_start_;
  bool explicit_end_;
  SerializeOptions options_;
  std::string buffer_;
  std::string document_text_;
  bool wrote_ = false;
};

constexpr Params<5> kStreamParams{{"file_obj", "iterable", "explicit_start", "explicit_end", "sort_keys"}, 2};
constexpr Params<5> kFileParams{{"path", "iterable", "explicit_start", "explicit_end", "sort_keys"}, 2};

constexpr char kDumpStream[] = "dump_stream";
nb::object dump_stream(nb::handle, Args args) {
  const bool start = bool_or(args[2], "explicit_start", false);
  const bool end = bool_or(args[3], "explicit_end", false);
  const bool sort_keys = bool_or(args[4], "sort_keys", false);
  if (!nb::hasattr(args[0], "write")) raise(Error::keyed(ErrorClass::YamlTypeError, "expected-writable"));
  PythonSink sink(args[0]);
  StreamWriter(sink, start, end, sort_keys).run(args[1]);
  return nb::none();
}

constexpr char kDumpFile[] = "dump_file";
nb::object dump_file(nb::handle, Args args) {
  const std::string_view path = to_str(args[0], "path");
  const bool start = bool_or(args[2], "explicit_start", false);
  const bool end = bool_or(args[3], "explicit_end", false);
  const bool sort_keys = bool_or(args[4], "sort_keys", false);
  std::string error;
  std::optional<NativeFile> file = NativeFile::create(path, error);
  if (!file) raise_write_error(error, path);
  FileSink sink(std::move(*file));
  StreamWriter(sink, start, end, sort_keys).run(args[1]);
  return nb::none();
}

PyMethodDef g_defs[] = {
    method_def<kDumpStream, kStreamParams, dump_stream>(
        "dump_stream($self, /, file_obj, iterable, explicit_start=False, explicit_end=False, sort_keys=False)"
        "\n--\n\nStreaming writer: serialize documents to `file_obj` (write(str)), constant memory."),
    method_def<kDumpFile, kFileParams, dump_file>(
        "dump_file($self, /, path, iterable, explicit_start=False, explicit_end=False, sort_keys=False)"
        "\n--\n\nStreaming writer: serialize documents to `path` (native file handle, no GIL blocking)."),
};

}  // namespace

void bind_yaml_writers(nb::handle cls) {
  for (PyMethodDef& def : g_defs) add_method(cls, def);
}

}  // namespace velmo::py
