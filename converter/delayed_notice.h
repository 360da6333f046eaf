// A line for a person kept waiting: written to standard error once a wait
// has lasted longer than it should, so that a blank screen says what it
// awaits.  Only where standard error is a terminal or console: a script
// that reads it gets the run's own lines and nothing else.  Each platform's
// file (delayed_notice_posix.cc, delayed_notice_win32.cc) keeps the time.
#ifndef PATCONV_CONVERTER_DELAYED_NOTICE_H_
#define PATCONV_CONVERTER_DELAYED_NOTICE_H_

#include <memory>
#include <string>

namespace converter {

/// Writes `line` (and a line end) `milliseconds` after it is made, unless
/// it is gone by then.  Once gone, nothing more is written.
class DelayedNotice {
 public:
  DelayedNotice(std::string line, int milliseconds);
  ~DelayedNotice();
  DelayedNotice(const DelayedNotice&) = delete;
  DelayedNotice& operator=(const DelayedNotice&) = delete;

  struct State;

 private:
  std::unique_ptr<State> state_;
};

}  // namespace converter

#endif  // PATCONV_CONVERTER_DELAYED_NOTICE_H_
