// A private temporary directory for the fuzz targets that need real files.
#ifndef PATCONV_FUZZ_FUZZ_FILES_H_
#define PATCONV_FUZZ_FUZZ_FILES_H_

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_input.h"

namespace fuzz {

/// Makes a fresh directory under $TMPDIR (or /tmp) that is removed, with
/// the files in it, when the process exits normally.
inline const std::string& ScratchDirectory() {
  static const std::string directory = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") +
                          "/patconv-fuzz-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) Fail("cannot make a scratch directory");
    return std::string(name.data());
  }();
  return directory;
}

/// Removes every entry of `directory` (plain files only: nothing else is
/// ever made there).
inline void EmptyDirectory(const std::string& directory) {
  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return;
  std::vector<std::string> names;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  for (const std::string& name : names) unlink((directory + "/" + name).c_str());
}

/// Registers the scratch directory for removal at exit.
inline void RemoveScratchAtExit() {
  // Made first, so that the name outlives the exit handler registered next.
  ScratchDirectory();
  std::atexit([] {
    EmptyDirectory(ScratchDirectory());
    rmdir(ScratchDirectory().c_str());
  });
}

/// Writes `bytes` to a file, replacing it.
inline void WriteFile(const std::string& path, std::string_view bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) Fail("cannot write " + path);
  if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) {
    Fail("short write to " + path);
  }
  std::fclose(file);
}

/// A whole file's bytes; `*found` tells whether it could be opened.
inline std::string ReadFile(const std::string& path, bool* found) {
  std::string bytes;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  *found = file != nullptr;
  if (file == nullptr) return bytes;
  char buffer[8192];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, n);
  std::fclose(file);
  return bytes;
}

}  // namespace fuzz

#endif  // PATCONV_FUZZ_FUZZ_FILES_H_
