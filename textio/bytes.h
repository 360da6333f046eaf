// Copying of the short byte runs that printing is made of.
#ifndef PATCONV_TEXTIO_BYTES_H_
#define PATCONV_TEXTIO_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace textio {

/// memcpy for runs that are mostly short (a note, a piece of a row, a whole
/// row): those are copied with a few word moves instead of a call.
inline void CopyBytes(char* to, const char* from, size_t size) {
  if (size > 32 && size <= 64) {
    // A target row: four 16-byte moves, the last two overlapping.
    char a[16], b[16], c[16], d[16];
    std::memcpy(a, from, 16);
    std::memcpy(b, from + 16, 16);
    std::memcpy(c, from + size - 32, 16);
    std::memcpy(d, from + size - 16, 16);
    std::memcpy(to, a, 16);
    std::memcpy(to + 16, b, 16);
    std::memcpy(to + size - 32, c, 16);
    std::memcpy(to + size - 16, d, 16);
  } else if (size >= 8 && size <= 16) {
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
