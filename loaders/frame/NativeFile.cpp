#include "NativeFile.h"

#include <cerrno>
#include <cstdio>
#include <random>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mv::loaders {

int OpenRegularFile(const std::string& path) {
  // O_NONBLOCK so that opening a pipe without a writer does not wait for one.
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return -1;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

ReplacingFile::ReplacingFile(const std::string& target) : target_(target) {
  if (target.empty() || target.back() == '/') return;
  const auto slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  std::random_device random;
  for (int attempt = 0; attempt < 16 && fd_ < 0; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, ".export-%08x.tmp", static_cast<unsigned>(random()));
    temp_ = dir + name;
    // The umask applies to 0666, as for any new file the user makes.
    fd_ = ::open(temp_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temp_.clear();
    return;
  }
  // An existing target keeps its permission bits.
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode)) ::fchmod(fd_, st.st_mode & 07777);
}

ReplacingFile::~ReplacingFile() {
  if (fd_ >= 0) ::close(fd_);
  if (!temp_.empty()) ::unlink(temp_.c_str());
}

bool ReplacingFile::WriteAll(const void* data, std::size_t size) {
  if (fd_ < 0) return false;
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = ::write(fd_, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReplacingFile::Commit() {
  if (fd_ < 0) return false;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  if (!closed || ::rename(temp_.c_str(), target_.c_str()) != 0) return false;
  temp_.clear();
  return true;
}

}  // namespace mv::loaders
