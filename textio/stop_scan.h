// Finding the next byte that needs attention in a buffer of text input: the
// field reader's fast paths take everything before it in one piece.
//
// One portable scan, byte by byte, that every build compiles and runs (for
// the bytes at the end of a buffer, and for whole buffers where nothing
// faster exists).  Where the compiler targets SSE2 (every x86-64 build, the
// Windows one included) the bulk of a buffer is looked at 32 bytes at a time,
// which the whole conversion feels: every byte of the input passes the scan.
#ifndef PATCONV_TEXTIO_STOP_SCAN_H_
#define PATCONV_TEXTIO_STOP_SCAN_H_

#include <algorithm>
#include <cstddef>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace textio {

/// The bytes a scan stops at: LF, CR, ',' and 0x1A always; '"' too for
/// kField (a run of a field's bytes), not for kLine (a whole line).
enum class Stops { kLine, kField };

namespace stop_scan_detail {

// One table per set of stops.
struct StopTable {
  bool stop[256] = {};
  constexpr explicit StopTable(bool quote) {
    stop[static_cast<unsigned char>('\n')] = true;
    stop[static_cast<unsigned char>('\r')] = true;
    stop[static_cast<unsigned char>('"')] = quote;
    stop[static_cast<unsigned char>(',')] = true;
    stop[0x1A] = true;
  }
};
inline constexpr StopTable kStopTables[2] = {StopTable(false), StopTable(true)};

#if defined(__SSE2__)
// Sixteen bytes: a bit for each that is a stop.
template <Stops kStops>
inline unsigned StopBits16(const unsigned char* bytes) {
  const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
  __m128i hits = _mm_cmpeq_epi8(block, _mm_set1_epi8('\n'));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8('\r')));
  if (kStops == Stops::kField) hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8('"')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(',')));
  hits = _mm_or_si128(hits, _mm_cmpeq_epi8(block, _mm_set1_epi8(0x1A)));
  return static_cast<unsigned>(_mm_movemask_epi8(hits));
}
#endif

}  // namespace stop_scan_detail

/// The portable scan: the index of the first stop in bytes[from, limit), or
/// `limit`.
template <Stops kStops>
inline size_t FindStopPortable(const unsigned char* bytes, size_t from, size_t limit) {
  const bool* stop = stop_scan_detail::kStopTables[kStops == Stops::kField].stop;
  size_t i = from;
  while (i < limit && !stop[bytes[i]]) ++i;
  return i;
}

/// The same as FindStopPortable, the fastest way the build has.  Bytes up
/// to `end` (at least `limit`) may be read, so that whole blocks are looked
/// at.
template <Stops kStops>
inline size_t FindStop(const unsigned char* bytes, size_t from, size_t limit, size_t end) {
  size_t i = from;
#if defined(__SSE2__)
  // Thirty-two bytes at a time: a row of a pattern fits in two blocks.
  constexpr size_t kBlock = 32;
  for (; i < limit && i + kBlock <= end; i += kBlock) {
    const unsigned bits = stop_scan_detail::StopBits16<kStops>(bytes + i) |
                          stop_scan_detail::StopBits16<kStops>(bytes + i + 16) << 16;
    if (bits != 0) {
      i += static_cast<size_t>(__builtin_ctz(bits));
      return i < limit ? i : limit;
    }
  }
  if (i > limit) return limit;
#else
  (void)end;
#endif
  return FindStopPortable<kStops>(bytes, i, limit);
}

}  // namespace textio

#endif  // PATCONV_TEXTIO_STOP_SCAN_H_
