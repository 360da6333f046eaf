// The console screen buffer as the terminal device keeps it in memory, and
// the renderer that brings a VT terminal in line with it.
//
// The model is the truth: cells of one Windows-1251 byte and an attribute,
// the cursor and its visibility.  The terminal is only a view of it; each
// render sends the differences.  No byte of a cell ever reaches the terminal
// as it is: cells are drawn through a fixed table, control bytes as
// pictures, so text can never carry escape sequences to the terminal.
//
// The model's primitives are in vt_screen.cc, the renderer (what the
// terminal is known to show, and the bytes that bring it in line) in
// vt_screen_renderer.cc.
#ifndef PATCONV_CONSOLE_VT_VT_SCREEN_H_
#define PATCONV_CONSOLE_VT_VT_SCREEN_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "console/device.h"
#include "console/vt/terminal_charset.h"

namespace console {

class VtScreen {
 public:
  struct Options {
    /// What the terminal shows: cells are drawn as their glyphs in this
    /// charset (printable ASCII as itself), which must outlive the screen.
    const TerminalCharset* charset = &TerminalCharset::Utf8();
    /// The Linux console: a bell may first set its pitch and length.
    bool linux_console = false;
  };

  /// A model of width x height cells, all unknown (what the terminal showed
  /// before is never repainted until the program writes there).
  VtScreen(int width, int height, Options options);

  int width() const { return width_; }
  int height() const { return height_; }

  // The screen primitives, with the meaning the device seam gives them.  The
  // window is the whole buffer.
  bool FillCharacter(char character, int length, Coord at);
  bool FillAttribute(uint16_t attribute, int length, Coord at);
  bool WriteCells(const char* characters, int length, uint16_t attribute, Coord at);
  /// A move of the whole buffer up by k rows sends k line feeds at the
  /// terminal's last row, so the rows that leave the top enter the
  /// terminal's scroll-back with the content they showed; any other move is
  /// repainted from the model.
  bool ScrollRect(Rect source, Coord destination, char fill, uint16_t attribute);
  /// `rows` line feeds at the buffer's last row, the cursor left there: the
  /// whole buffer moves up, as by ScrollRect, and the rows that come in are
  /// blank.  As many rows as the buffer has, or more, send every row the
  /// terminal shows to its scroll-back, from its cursor on (before anything
  /// of ours is drawn, the rows of the shell's output): the next render
  /// leaves the terminal blank, like the model.  False when `rows` is not
  /// positive.
  bool FeedLines(int rows);
  bool SetCursorPosition(Coord at);
  Coord cursor() const { return cursor_; }
  bool cursor_visible() const { return cursor_visible_; }
  void SetCursorVisible(bool visible);
  /// Adds a bell to the output, in order with the cells drawn before it.
  void Beep(int frequency, int milliseconds);

  /// The model takes a new size, the terminal's as well: cells that still
  /// fit are kept, the cursor is kept inside, and the next render repaints
  /// everything.
  void Resize(int width, int height);
  /// The terminal's content is unknown (after a suspend): the next render
  /// repaints every known cell.
  void Invalidate();
  /// The terminal now has `rows` rows.  The model keeps its height; a
  /// shorter terminal shows the model's rows around the cursor, a taller one
  /// shows them all from its top.
  void SetTerminalRows(int rows);
  /// The terminal was resized to `width` x `rows` by its user.  Whatever it
  /// did with what it showed (kept it, rewrapped it, pulled rows back from
  /// its scroll-back at the top), it kept its cursor on the same cell: from
  /// there, line feeds push every row up to the last row of ours into the
  /// scroll-back, and the model is painted afresh on the blank screen.  The
  /// model takes the width; it grows to a taller terminal's height (the new
  /// rows unknown, at the bottom) and keeps its height on a shorter one,
  /// which shows the rows around the cursor.  Nothing is sent before the
  /// first render.
  void TerminalResized(int width, int rows);
  int terminal_rows() const { return terminal_rows_; }

  /// Adds to the output to be taken what the terminal needs to show the model.
  void Render();
  /// Takes the output (rendered differences, line feeds of scrolls,
  /// bells), leaving it empty.
  std::string TakeOutput();
  bool has_output() const { return !output_.empty(); }
  size_t output_size() const { return output_.size(); }

  /// The output so far has set colours (SGR) / the cursor's visibility.
  bool rendition_sent() const { return rendition_sent_; }
  bool cursor_visibility_sent() const { return cursor_visibility_sent_; }
  /// Where the output taken so far leaves the terminal's cursor (0-based, on
  /// the terminal); empty when that is not known.
  std::optional<Coord> terminal_cursor() const { return terminal_cursor_; }

  /// Bytes sent before the first drawing: DECSC, which saves the colours
  /// the terminal draws in (and its cursor) for RestoreSequence.
  static std::string StartSequence();
  /// Bytes that put back the colours StartSequence saved (DECRC).  They
  /// move the cursor back too, so a cursor position must follow them.
  static std::string RestoreSequence();

  // For tests: the model's cells.  Inline, so that the program, which never
  // asks, holds none of them.
  uint8_t CharacterAt(int x, int y) const { return Inside(x, y) ? ModelCell(x, y).character : ' '; }
  uint16_t AttributeAt(int x, int y) const {
    return Inside(x, y) ? ModelCell(x, y).attribute : kDefaultAttribute;
  }
  bool KnownAt(int x, int y) const { return Inside(x, y) && ModelCell(x, y).known; }

 private:
  // --- The model (vt_screen.cc) ---------------------------------------------
  struct Cell {
    // Four bytes, so that rows are filled and compared a word at a time.
    uint8_t character = ' ';
    bool known = false;
    uint16_t attribute = kDefaultAttribute;
    Cell() = default;
    constexpr Cell(uint8_t c, uint16_t a, bool k) : character(c), known(k), attribute(a) {}
    /// The four bytes as one word: equal words, equal cells.
    uint32_t Word() const {
      uint32_t word;
      std::memcpy(&word, this, sizeof word);
      return word;
    }
    friend bool operator==(const Cell& a, const Cell& b) { return a.Word() == b.Word(); }
    friend bool operator!=(const Cell& a, const Cell& b) { return !(a == b); }
  };

  static_assert(sizeof(Cell) == 4, "a cell is one word");
  /// Sets `count` cells from `to` on, a word at a time.
  static void FillCells(Cell* to, int count, Cell value);

  // Rows live in a ring so that scrolling the whole buffer costs the rows it
  // brings in, not the size of the screen.
  size_t RowBase(int y) const;
  Cell& ModelCell(int x, int y) { return cells_[RowBase(y) + static_cast<size_t>(x)]; }
  const Cell& ModelCell(int x, int y) const { return cells_[RowBase(y) + static_cast<size_t>(x)]; }
  bool Inside(int x, int y) const { return x >= 0 && x < width_ && y >= 0 && y < height_; }
  void MarkDirty(int y);
  template <typename Change>
  bool ChangeRun(int length, Coord at, Change change);

  void ScrollWholeBufferUp(int rows, char fill, uint16_t attribute);
  void FeedEveryRow();
  void MoveRect(Rect source, Coord destination, char fill, uint16_t attribute);

  // --- The renderer (vt_screen_renderer.cc) ----------------------------------
  void ScrollTerminalUp(int rows);
  int ShownRows() const { return std::min(height_, terminal_rows_); }
  void FollowCursor();
  void ShowRowsFrom(int wanted);
  void PaintChanges();
  void ClearTerminal();
  int RowsOfOursBelowCursor() const;
  void PushTerminalToScrollBack();
  void PassShellOutput();
  void PaintRow(int y);
  void AppendCells(const Cell* cells, int count);
  void SyncCursor();
  void HideCursorWhileDrawing();
  bool RedrawGapBefore(int x, int y);
  void MoveTerminalCursor(Coord at);
  void SetTerminalAttribute(uint16_t attribute);
  void AppendGlyph(std::string* out, uint8_t byte) const;

  // The model.
  int width_;
  int height_;
  std::vector<Cell> cells_;      // row by row from ring row top_row_
  std::vector<bool> dirty_;      // screen rows that may differ from front_
  std::vector<int> dirty_rows_;  // the rows flagged in dirty_, unordered
  int top_row_ = 0;              // ring row that is screen row 0
  Coord cursor_;
  bool cursor_visible_ = true;

  // The renderer.
  Options options_;
  std::vector<Cell> front_;   // what the terminal shows, the model's layout
  int terminal_rows_;         // rows the terminal has
  int offset_ = 0;            // the model row shown on the terminal's top row
  bool repaint_all_ = false;  // the terminal's content is unknown
  // After a resize: the repaint first pushes the terminal's rows to the
  // scroll-back, from this many rows below the terminal's cursor.
  std::optional<int> push_from_below_cursor_;
  bool rendition_sent_ = false;
  bool cursor_visibility_sent_ = false;
  bool painted_ = false;  // some cell of the model has been drawn
  // What the terminal is known to have; empty when unknown.
  std::optional<Coord> terminal_cursor_;
  std::optional<bool> terminal_cursor_visible_;
  std::optional<uint16_t> terminal_attribute_;
  std::string output_;
};

}  // namespace console

#endif  // PATCONV_CONSOLE_VT_VT_SCREEN_H_
