// The console engine's screen side: the console area and the text view,
// clear screen, place cursor, and drawing printed bytes with wrapping and
// scrolling.  Portable: it acts only through the device's primitives.
#ifndef PATCONV_CONSOLE_SCREEN_H_
#define PATCONV_CONSOLE_SCREEN_H_

#include <cstdint>
#include <string_view>

#include "console/device.h"

namespace console {

/// A 1-based column and row relative to the console area.
struct Position {
  int column = 0;
  int row = 0;
  friend bool operator==(Position a, Position b) { return a.column == b.column && a.row == b.row; }
};

class Screen {
 public:
  /// The tone of a bell byte and of a refused Delete.
  static constexpr int kToneHz = 1000;
  static constexpr int kToneMs = 250;
  /// The longest run of text written in one go.
  static constexpr size_t kRunLimit = 1024;

  explicit Screen(Device& device) : device_(device) {}

  /// Reads the console area and fixes the text view; done once, by the
  /// first console operation.
  void SetUp();
  /// Standard output is a console: the last read of the area found more
  /// than one column and more than one row.
  bool stdout_is_console() const { return !AreaEmpty(); }

  /// Blanks the rows of the text view over the whole buffer width and puts
  /// the cursor at row 1, column 1.  The first clear on a console whose
  /// buffer has no rows below the window first passes the window's rows to
  /// the history of the terminal it is shown in, where the device can.
  void Clear();
  /// Moves the cursor (row or column 0 keeps the current one) and sets its
  /// visibility (negative keeps it).  A position outside the text view is
  /// refused; only the visibility request is then carried out.  Returns the
  /// former visibility as bit 0x10000 plus row * 256 + column, mod 256 each.
  int PlaceCursor(int row, int column, int visibility);
  /// Draws bytes at the cursor: BEL sounds, BS, TAB, LF and CR move, every
  /// other byte is a cell.  Text that ends in the view's last cell leaves a
  /// line feed pending for the next print.
  void Print(std::string_view bytes);

  /// The console width (buffer width) and height (window rows); the
  /// default size when the area is empty.
  Position Size() const;
  /// The same, the area read afresh first (the buffer may have changed its
  /// width since the last print).
  Position CurrentSize();
  /// The cursor's column and row relative to the console area; (0, 0) when
  /// the buffer cannot be queried.
  Position CursorPosition();
  /// Where the cursor lands d cells (d may be negative) along the rows of a
  /// console of `size` from `from`; it may lie outside the console.
  static Position Advanced(int d, Position from, Position size);

  bool line_feed_pending() const { return line_feed_pending_; }
  /// How many rows the text view's content has moved up, in all, as prints
  /// scrolled it: what stood on row r stands on row r - k after k more.
  long rows_scrolled() const { return rows_scrolled_; }

 private:
  struct Area {
    int left = 0, top = 0, right = 0, bottom = 0;
    int buffer_bottom = 0;  // the buffer's last row
  };
  struct PrintState;
  struct Run;
  // What a print ended in: a byte drawn as a cell (or a tab), or a move.
  enum class Ending { kNothing, kText, kMove };

  bool AreaEmpty() const { return area_.left == area_.right || area_.top == area_.bottom; }
  void ReadArea();
  bool RereadArea(BufferInfo* info);
  void SetArea(const BufferInfo& info);
  void FixView();
  Rect ViewRect() const;
  uint16_t CurrentAttribute();
  void BlankRow(int row, int left, int right, uint16_t attribute);
  void Scroll(PrintState& state, int rows);
  void MoveBufferUp(PrintState& state, int rows);
  bool FeedLines(const PrintState& state, int rows);
  void BlankBetween(int first, int last, const PrintState& state);
  void WriteRun(PrintState& state, const char* run, size_t length);

  // The steps of a print.
  PrintState StartPrint();
  void CarryOutPendingLineFeed(PrintState& state);
  /// Draws the bytes from the cursor on: cells in runs of up to kRunLimit,
  /// BEL, BS, TAB, LF and CR as they act.
  Ending DrawBytes(PrintState& state, std::string_view bytes);
  /// Carries out a byte that is no cell.
  void ActOn(char byte, PrintState& state, Run& run, Ending* last);
  void AddToRun(PrintState& state, Run& run, const char* bytes, size_t count);
  void FlushRun(PrintState& state, Run& run);
  /// Whether the print leaves a line feed pending for the next one.
  static bool LineFeedWaits(Ending last, const PrintState& state);
  /// Settles the cursor (and the window) after the bytes are drawn.
  void FinishPrint(PrintState& state, Ending last);

  Device& device_;
  bool set_up_ = false;
  Area area_;
  int view_first_ = 0;  // 0: not fixed yet
  int view_last_ = 0;
  bool line_feed_pending_ = false;
  bool cleared_ = false;  // a clear screen has been carried out
  long rows_scrolled_ = 0;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_SCREEN_H_
