// Helpers shared by the text channel tests and the fuzz targets: a scratch
// directory of their own, whole files written and read, and the converter's
// read loop.
#ifndef PATCONV_TEXTIO_TEST_SUPPORT_H_
#define PATCONV_TEXTIO_TEST_SUPPORT_H_

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "textio/channels.h"

namespace textio {

/// Removes everything in `directory`, subdirectories and their files
/// included, but not the directory itself.
inline void EmptyDirectory(const std::string& directory) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> paths;
  while (dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") paths.push_back(directory + "/" + name);
  }
  closedir(dir);
  for (const std::string& path : paths) {
    struct stat st {};
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
      EmptyDirectory(path);
      rmdir(path.c_str());
    } else {
      unlink(path.c_str());
    }
  }
}

/// A fresh directory under $TMPDIR (or /tmp), removed with what it holds
/// when the object goes.  path() is empty when none could be made.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/patconv-test-XXXXXX";
    if (mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScopedTempDir() {
    if (path_.empty()) return;
    EmptyDirectory(path_);
    rmdir(path_.c_str());
  }
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

/// One scratch directory for the whole process, made at the first call and
/// removed with what it holds at exit; empty when none could be made.
inline const std::string& ScratchDirectory() {
  static const ScopedTempDir directory;
  return directory.path();
}

/// Writes `bytes` to a file, replacing it; false when that fails.
inline bool WriteFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

/// A whole file's bytes; `*found` (when given) tells whether it could be
/// opened.
inline std::string ReadFile(const std::string& path, bool* found = nullptr) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (found != nullptr) *found = file != nullptr;
  if (file == nullptr) return bytes;
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

/// Every field the converter's loop would read from channel 1: end test,
/// select, read field, until the end test says -1 (bounded, so a fault that
/// never ends fails instead of hanging).
inline std::vector<std::string> ReadAllFields(Channels& channels, int number = 1) {
  std::vector<std::string> fields;
  while (channels.EndTest(number) == 0 && fields.size() < 100000) {
    channels.SelectInput(number);
    std::string field;
    channels.ReadField(&field);
    fields.push_back(field);
  }
  return fields;
}

}  // namespace textio

#endif  // PATCONV_TEXTIO_TEST_SUPPORT_H_
