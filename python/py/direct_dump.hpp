// The direct dump: a Python value written as YAML text in one pass, without building a tree.
#pragma once

#include <Python.h>

#include <string>

namespace velmo::py {

// Appends the YAML text of `value` to `out`: indentation steps of 2, fold width 80, depth limit 1000; empty
// dicts and lists in flow form ("{}", "[]"), all others in block form; small dicts of scalars inside lists on
// the dash line. The text ends with a line feed. With `sort_keys`, block mapping entries are ordered by the
// text of their keys. Throws nanobind::python_error with the exception set on failure (unsupported types and
// keys, the depth limit, a dict changed while read); `out` may then hold partial text. Needs the interpreter
// lock throughout.
void direct_dump(std::string& out, PyObject* value, bool sort_keys);

// The calling thread's output buffer for one dump, so that repeated dumps reuse its memory. A dump started on
// the same thread while another is running (from Python code that the first one calls) gets a fresh buffer.
class DumpBuffer {
 public:
  DumpBuffer();
  ~DumpBuffer();
  DumpBuffer(const DumpBuffer&) = delete;
  DumpBuffer& operator=(const DumpBuffer&) = delete;

  std::string& text() noexcept { return *text_; }

 private:
  std::string* text_;
  std::string own_;  // used when the thread's buffer is taken
  bool borrowed_;
};

}  // namespace velmo::py
