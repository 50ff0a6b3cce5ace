// Files named by native paths (the bytes the user's system uses), opened
// without any re-encoding of the name.
#pragma once

#include <string>

namespace mv::loaders {

/// Opens `path` for reading when it is a regular file. Returns a file
/// descriptor the caller closes, or -1 (missing, unreadable, a folder, a
/// device or a pipe: nothing that could block or never end).
int OpenRegularFile(const std::string& path);

/// A new file that replaces `target` only once it is complete: written beside
/// the target under a temporary name and renamed over it by Commit, so a
/// failed export never destroys an existing file. The temporary is removed
/// unless committed.
class ReplacingFile {
 public:
  explicit ReplacingFile(const std::string& target);
  ~ReplacingFile();
  ReplacingFile(const ReplacingFile&) = delete;
  ReplacingFile& operator=(const ReplacingFile&) = delete;

  /// The open temporary file, or -1 when it could not be created.
  int fd() const { return fd_; }
  /// Writes all of `data`; false on any error.
  bool WriteAll(const void* data, std::size_t size);
  /// Closes the temporary and renames it over the target.
  bool Commit();

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
};

}  // namespace mv::loaders
