// Fuzz target: the translation of one source row.
//
// Properties, for any row R (bytes, any length):
//   a. R is dropped exactly when its characters 2 to 4 read "odP" (neither
//      "---" nor "R--", the only texts a mapping makes, is "odP").
//   b. Otherwise the target row is "....|..|" n1 " .... ....|" n2
//      " .... ....|" n3 " .... ....", where note k is the up to 3 bytes of R
//      from 0-based offset 1, 13 and 25 (empty when R is shorter), with
//      "..." written as "---" and "===" as "R--".  So it is never longer
//      than 49 bytes.
//   c. The notes stay valid for as long as R does: R is copied to a buffer
//      of its exact size, so reading a note out of bounds is a sanitizer
//      report.
//   d. The paste check of the target row gives a reason exactly when it
//      says the tracker refuses the row, and the reason is printable ASCII
//      (the notes' other bytes shown as \xNN).
//   e. RowLines gives the same row with CR LF after it, or nothing for a
//      dropped row, whether R is a full row (28 bytes or more, formatted in
//      one step) or a shorter one; its notes, and its seven pieces joined,
//      are those of the line.
//   f. Under settings drawn from the first bytes (three channels 0-127, an
//      octave -7 to 7, plain, fit or full, a row limit 1-300), the rest cut
//      into fields at line feeds through one ColumnMapping: with fit or
//      full, every row written is one the tracker takes, with CR LF, and
//      there are no more than the limit; without fit or shift, every note is
//      the chosen cell's, cut and mapped as in b ("---" for no channel).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "converter/column_mapping.h"
#include "converter/paste_check.h"
#include "converter/row_translation.h"
#include "converter/tracker_row.h"
#include "fuzz/fuzz_input.h"

namespace {

using fuzz::Check;

std::string ExpectedNote(std::string_view row, size_t offset) {
  std::string note = offset < row.size() ? std::string(row.substr(offset, 3)) : std::string();
  if (note == "...") return "---";
  if (note == "===") return "R--";
  return note;
}

void CheckColumnMapping(const uint8_t* data, size_t size) {
  fuzz::FuzzInput input(data, size);
  converter::Settings settings;
  for (int& channel : settings.channels) channel = input.Range(0, 127);
  settings.octave = input.Range(-7, 7);
  const int mode = input.Range(0, 2);
  settings.fit = mode == 1;
  settings.full = mode == 2;
  const int64_t limit = input.Range(1, 300);
  converter::ColumnMapping mapping(settings, limit);
  std::string_view rest = input.Rest();
  int64_t written = 0;
  for (bool more = true; more;) {
    const size_t end = rest.find('\n');
    more = end != std::string_view::npos;
    std::unique_ptr<char[]> copy(new char[more ? end + 1 : rest.size() + 1]);
    const std::string_view field(copy.get(), more ? end : rest.size());
    std::copy(rest.begin(), rest.begin() + static_cast<ptrdiff_t>(field.size()), copy.get());
    if (more) rest.remove_prefix(end + 1);
    const converter::RowLine* line = mapping.Translate(field);
    if (line == nullptr) continue;
    ++written;
    Check(line->text.size() >= 2 && line->text.substr(line->text.size() - 2) == "\r\n",
          "a row ends with CR LF");
    if (mode != 0) {
      Check(converter::TrackerTakesRow(line->text.substr(0, line->text.size() - 2)),
            "with fit or full the tracker takes every row");
    } else if (settings.octave == 0) {
      for (size_t k = 0; k < 3; ++k) {
        const int channel = settings.channels[k];
        Check(line->row.notes[k] ==
                  (channel == 0 ? std::string("---")
                                : ExpectedNote(field, 1 + 12 * static_cast<size_t>(channel - 1))),
              "without fit each note is the chosen cell's, cut and mapped");
      }
    }
  }
  Check(mode == 0 || written <= limit, "with fit no more rows than the limit");
  Check(mapping.rows() == written, "the rows written are counted");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<char[]> copy(new char[size == 0 ? 1 : size]);
  std::copy(data, data + size, copy.get());
  const std::string_view row(copy.get(), size);
  CheckColumnMapping(data, size);

  const std::optional<converter::TargetRow> target = converter::TranslateRow(row);
  const bool header = size >= 4 && row.substr(1, 3) == "odP";
  Check(target.has_value() != header, "a row is dropped exactly when characters 2-4 are odP");
  converter::RowLines lines;
  const converter::RowLine* built = lines.Translate(row);
  Check((built != nullptr) == target.has_value(), "RowLines drops the rows TranslateRow drops");
  if (!target) return 0;
  Check(built->text == converter::TargetRowText(*target) + "\r\n",
        "RowLines gives the translated row and CR LF");
  std::string joined;
  for (std::string_view piece : built->Pieces()) joined += piece;
  Check(joined + "\r\n" == built->text, "the seven pieces make the line");
  for (int k = 0; k < 3; ++k) {
    Check(built->row.notes[k] == target->notes[k], "the line's notes are the row's");
  }

  const std::string expected = "....|..|" + ExpectedNote(row, 1) + " .... ....|" +
                               ExpectedNote(row, 13) + " .... ....|" + ExpectedNote(row, 25) +
                               " .... ....";
  const std::string text = converter::TargetRowText(*target);
  Check(text == expected, "the target row is the pieces around the cut and mapped notes");
  Check(text.size() <= 49, "a target row is at most 49 bytes");
  for (int k = 0; k < 3; ++k) {
    Check(target->notes[k] == ExpectedNote(row, 1 + 12 * static_cast<size_t>(k)),
          "each note is the cut and mapped source bytes");
  }
  const std::string refusal = converter::PasteRefusal(*target);
  Check(refusal.empty() == converter::Pastes(*target), "the check and its reason agree");
  for (char c : refusal) Check(c >= 0x20 && c < 0x7F, "a reason is printable ASCII");
  return 0;
}
