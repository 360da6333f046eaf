#include "textio/stop_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

#include "textio/line_count.h"

namespace textio {
namespace {

// Buffers of 0 to 100 bytes, mostly plain with a stop here and there, each
// scanned from every start to every limit: the portable scan (the one every
// build has) and the build's fastest find the first stop, or the limit.
TEST(StopScan, BothScansFindTheFirstStopBeforeTheLimit) {
  std::mt19937 random(20260112);
  const std::string rare = std::string("\n\r\",\x1A", 5);
  const std::string plain = "....|C-5 v64A08\t =\xFF";
  for (int n = 0; n < 400; ++n) {
    std::string text(random() % 101, ' ');
    for (char& c : text) {
      c = random() % 25 == 0 ? rare[random() % rare.size()] : plain[random() % plain.size()];
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t from = 0; from <= text.size(); ++from) {
      for (size_t limit = from; limit <= text.size(); ++limit) {
        const size_t line = std::min(text.find_first_of(rare.substr(0, 2) + ",\x1A", from), limit);
        const size_t field = std::min(text.find_first_of(rare, from), limit);
        ASSERT_EQ(FindStopPortable<Stops::kLine>(bytes, from, limit), line) << n;
        ASSERT_EQ(FindStopPortable<Stops::kField>(bytes, from, limit), field) << n;
        ASSERT_EQ(FindStop<Stops::kLine>(bytes, from, limit, text.size()), line) << n;
        ASSERT_EQ(FindStop<Stops::kField>(bytes, from, limit, text.size()), field) << n;
      }
    }
  }
}

// Every line feed counted, and the complete lines' bytes end after the last.
TEST(LineCount, CountsEveryLineFeedAndTheBytesOfCompleteLines) {
  std::mt19937 random(20261208);
  for (const size_t size : {0, 1, 64, 4096}) {
    for (const unsigned percent : {0u, 2u, 100u}) {
      std::string text(size, '.');
      for (char& c : text) c = random() % 100 < percent ? '\n' : '\r';
      LineCount lines;
      lines.Add(3, 1, 1);  // "ab\nc" before
      const auto feeds = std::count(text.begin(), text.end(), '\n');
      EXPECT_EQ(CountLines(text.data(), size, &lines), feeds);
      EXPECT_EQ(lines.lines, feeds + 1) << size << " " << percent;
      EXPECT_EQ(lines.bytes, static_cast<int64_t>(size) + 3);
      const size_t last = text.rfind('\n');
      EXPECT_EQ(lines.line_bytes, last == std::string::npos ? 2 : static_cast<int64_t>(last) + 4);
    }
  }
}

}  // namespace
}  // namespace textio
