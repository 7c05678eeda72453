// Files written natively by the dump functions and the streaming writer.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace velmo::py {

// A file opened for writing, closed when dropped. Interpreter-free: callers may release the lock around it.
class NativeFile {
 public:
  NativeFile() = default;
  NativeFile(NativeFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  NativeFile& operator=(NativeFile&& other) noexcept;
  NativeFile(const NativeFile&) = delete;
  NativeFile& operator=(const NativeFile&) = delete;
  ~NativeFile();

  // Creates `path`, or truncates it, write-only with permission bits 0666 before the umask. On failure,
  // `error` gets the system's text ("No such file or directory (os error 2)").
  static std::optional<NativeFile> create(std::string_view path, std::string& error);

  // Writes all of `data`, retrying interrupted writes. The error text on failure.
  std::optional<std::string> write_all(std::string_view data);

 private:
  int fd_ = -1;
};

// A native file behind an output buffer of 8192 bytes.
class BufferedFile {
 public:
  static constexpr std::size_t kCapacity = 8192;

  explicit BufferedFile(NativeFile file) : file_(std::move(file)) { pending_.reserve(kCapacity); }

  std::optional<std::string> write(std::string_view data);
  // Writes what the buffer still holds.
  std::optional<std::string> flush();

 private:
  NativeFile file_;
  std::string pending_;
};

// The text for an errno value, as file errors show it: the description, then " (os error N)".
std::string os_error_text(int err);

// OSError "file-write-error" with `detail`, and `path` when the failure concerns one.
[[noreturn]] void raise_write_error(std::string_view detail, std::optional<std::string_view> path = std::nullopt);

}  // namespace velmo::py
