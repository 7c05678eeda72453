#include "py/emit/native_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "errors.hpp"

namespace velmo::py {

std::string os_error_text(int err) { return std::string(std::strerror(err)) + " (os error " + std::to_string(err) + ")"; }

NativeFile& NativeFile::operator=(NativeFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

NativeFile::~NativeFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::optional<NativeFile> NativeFile::create(std::string_view path, std::string& error) {
  if (path.find('\0') != std::string_view::npos) {
    error = "file name contained an unexpected NUL byte";
    return std::nullopt;
  }
  const std::string name(path);
  int fd;
  do {
    fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    error = os_error_text(errno);
    return std::nullopt;
  }
  NativeFile file;
  file.fd_ = fd;
  return file;
}

std::optional<std::string> NativeFile::write_all(std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return os_error_text(errno);
    }
    if (n == 0) return std::string("failed to write whole buffer");
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return std::nullopt;
}

std::optional<std::string> BufferedFile::write(std::string_view data) {
  if (pending_.size() + data.size() > kCapacity) {
    if (auto error = flush()) return error;
  }
  if (data.size() >= kCapacity) return file_.write_all(data);
  pending_.append(data);
  return std::nullopt;
}

std::optional<std::string> BufferedFile::flush() {
  if (pending_.empty()) return std::nullopt;
  auto error = file_.write_all(pending_);
  pending_.clear();
  return error;
}

void raise_write_error(std::string_view detail, std::optional<std::string_view> path) {
  if (path) raise(Error::keyed(ErrorClass::OSError, "file-write-error", {{"detail", detail}, {"path", *path}}));
  raise(Error::keyed(ErrorClass::OSError, "file-write-error", {{"detail", detail}}));
}

}  // namespace velmo::py
