// The field reader: cuts the next field out of an input.
//
//   field     := blank* ( END | body )
//   body      := LF | CR [LF] | ',' | quoted | plain
//   quoted    := '"' (any byte but CR LF '"')* ( '"' finish | CR [LF] | LF | END )
//   plain     := (any byte but CR LF ',')* ( ',' | CR [LF] | LF | END )
//   finish    := blank* ( ',' | LF | CR [LF] | END | other, put back )
//
// Leading blanks (space, tab) are skipped; inside a field they are ordinary.
// A '"' opens a quoted field only as the field's first character and is an
// ordinary byte anywhere else; a quoted field still ends at a line end.  A
// field holds at most kFieldLimit bytes: the byte after a full field is
// handled as after a closing quote.  Every byte value is an ordinary
// character, 0x00 included.
#ifndef PATCONV_TEXTIO_FIELD_READER_H_
#define PATCONV_TEXTIO_FIELD_READER_H_

#include <string>

#include "textio/channels.h"
#include "textio/text_input.h"

namespace textio {

/// Reads one field from `source` into *field.  The source supplies
/// `int Get()` (a byte or kEnd), `void PutBack(int byte)` and
/// `size_t TakePlain(std::string* out, size_t room)` (bytes that need no
/// attention, see TextInput::TakePlain).  Returns true when a line end
/// (LF, CR LF or a lone CR) was consumed with the field.
template <class Source>
bool ReadFieldFrom(Source& source, std::string* field) {
  field->clear();  // the bytes are stored straight into it
  bool quoted = false;
  auto line_end_after_cr = [&source] {
    int next = source.Get();
    if (next != '\n' && next != kEnd) source.PutBack(next);
  };

  int c;
  do {
    c = source.Get();
  } while (c == ' ' || c == '\t');
  if (c == kEnd) return false;
  for (;;) {
    if (c == '\n') return true;
    if (c == '\r') {
      line_end_after_cr();
      return true;
    }
    if (c == '"' && quoted) {
      c = source.Get();
      break;  // the closing quote: finish below
    }
    if (c == '"' && field->empty()) {
      quoted = true;  // the opening quote
    } else if (c == ',' && !quoted) {
      return false;
    } else {
      field->push_back(static_cast<char>(c));
      source.TakePlain(field, kFieldLimit - field->size());
    }
    c = source.Get();
    if (c == kEnd || field->size() == kFieldLimit) break;
  }
  // After a closing quote, at the end, or with a full field: blanks and one
  // terminator are consumed; anything else begins the next field.
  while (c == ' ' || c == '\t') c = source.Get();
  if (c == '\r') {
    line_end_after_cr();
    return true;
  }
  if (c != '\n' && c != ',' && c != kEnd) source.PutBack(c);
  return c == '\n';
}

}  // namespace textio

#endif  // PATCONV_TEXTIO_FIELD_READER_H_
