// Helpers shared by the text channel tests.
#ifndef PATCONV_TEXTIO_TEST_SUPPORT_H_
#define PATCONV_TEXTIO_TEST_SUPPORT_H_

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "textio/channels.h"

namespace textio {

/// A directory of its own for one test, removed with its files at the end.
class ScopedTempDir {
 public:
  ScopedTempDir() {
    char pattern[] = "/tmp/patconv-test-XXXXXX";
    char* made = ::mkdtemp(pattern);
    path_ = made != nullptr ? made : "/tmp";
  }
  ~ScopedTempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
