// Copying of the short byte runs that printing is made of.
#ifndef PATCONV_TEXTIO_BYTES_H_
#define PATCONV_TEXTIO_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace textio {

/// memcpy for runs that are mostly a few bytes long (a note, a piece of a
/// row): those are copied with a couple of word moves instead of a call.
inline void CopyBytes(char* to, const char* from, size_t size) {
  if (size >= 8 && size <= 16) {
    uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + size - 8, 8);
    std::memcpy(to, &head, 8);
    std::memcpy(to + size - 8, &tail, 8);
  } else if (size >= 4 && size < 8) {
    uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + size - 4, 4);
    std::memcpy(to, &head, 4);
    std::memcpy(to + size - 4, &tail, 4);
  } else if (size >= 2 && size < 4) {
    uint16_t head, tail;
    std::memcpy(&head, from, 2);
    std::memcpy(&tail, from + size - 2, 2);
    std::memcpy(to, &head, 2);
    std::memcpy(to + size - 2, &tail, 2);
  } else if (size == 1) {
    *to = *from;
  } else if (size > 16) {
    std::memcpy(to, from, size);
  }
}

}  // namespace textio

#endif  // PATCONV_TEXTIO_BYTES_H_
