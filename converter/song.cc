#include "converter/song.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "converter/paste_check.h"
#include "converter/row_translation.h"
#include "converter/shown_text.h"

namespace converter {
namespace {

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

constexpr std::string_view kOrdersKey = "Orders:";
constexpr std::string_view kRowsKey = "Rows:";
constexpr std::string_view kNameKey = "Name:";

}  // namespace

std::string SongError::Message(std::string_view source) const {
  const std::string found = (at_least ? "at least " : "") + ShownCount(count);
  switch (kind) {
    case Kind::kNoRows: return std::string(source) + " holds no pattern rows";
    case Kind::kNothingPlayed:
      return "the play order of " + std::string(source) + " plays no pattern rows";
    case Kind::kTooManyPatterns:
      return "the song has " + found + " patterns; a module holds at most " +
             std::to_string(kModulePatterns);
    case Kind::kTooManyPositions:
      return "the song's play order has " + found + " positions; a module holds at most " +
             std::to_string(kModulePositions);
  }
  return {};
}

SongReader::SongReader(RowConversion convert) : convert_(std::move(convert)) {}

bool SongReader::Feed(std::string_view field, bool ends_line) {
  if (refused_) return false;
  // Blanks before a line's text are skipped, as the field reader skips them.
  if (!line_open_) field = field.substr(std::min(field.find_first_not_of(" \t"), field.size()));
  if (line_open_) {  // the rest of a line cut at a comma
    if (continued_ == Line::kOrders) {
      OrderEntries(field);
    } else if (continued_ == Line::kName && name_->size() < kTitleBytes) {
      name_->append(",").append(Trimmed(field));
    }
  } else if (!field.empty() && field[0] == '|') {
    AddRow(field);
  } else if (StartsWith(field, kOrdersKey) && !orders_seen_) {
    orders_seen_ = true;
    continued_ = Line::kOrders;
    OrderEntries(field.substr(kOrdersKey.size()));
  } else if (StartsWith(field, kRowsKey)) {
    BeginBlock();
  } else if (StartsWith(field, kNameKey)) {
    const std::string_view name = Trimmed(field.substr(kNameKey.size()));
    if (!name_ && !name.empty()) {
      name_ = std::string(name);
      continued_ = Line::kName;
    }
  }
  line_open_ = !ends_line;
  if (ends_line) {
    if (continued_ == Line::kOrders && !orders_ended_) OrdersEnded();
    continued_ = Line::kNone;
  }
  return !refused_;
}

void SongReader::OrderEntries(std::string_view text) {
  for (;;) {
    const size_t comma = text.find(',');
    const std::string_view entry = Trimmed(text.substr(0, comma));
    if (orders_ended_ || refused_ || entry.empty() || entry == "+") {
      // nothing: after the end, or skipped
    } else if (entry == "-") {
      OrdersEnded();
    } else if (entry.find_first_not_of("0123456789") != std::string_view::npos) {
      ++not_numbers_;
    } else if (entries_.size() == kEntriesHeld) {
      Refuse(SongError::Kind::kTooManyPositions, static_cast<int64_t>(kEntriesHeld) + 1);
    } else {
      uint64_t number = 0;  // a number past any block stays past it
      for (char digit : entry) {
        number = std::min<uint64_t>(number * 10 + static_cast<uint64_t>(digit - '0'),
                                    std::numeric_limits<uint32_t>::max());
      }
      entries_.push_back(static_cast<uint32_t>(number));
    }
    if (comma == std::string_view::npos) return;
    text.remove_prefix(comma + 1);
  }
}

void SongReader::OrdersEnded() {
  orders_ended_ = true;
  sorted_entries_ = entries_;
  std::sort(sorted_entries_.begin(), sorted_entries_.end());
}

int64_t SongReader::TimesPlayed(uint32_t block) const {
  if (!orders_seen_) return 1;  // every block once
  const auto range = std::equal_range(sorted_entries_.begin(), sorted_entries_.end(), block);
  return range.second - range.first;
}

void SongReader::BeginBlock() {
  ++blocks_;
  holding_ = TimesPlayed(static_cast<uint32_t>(blocks_ - 1)) > 0;
}

void SongReader::AddRow(std::string_view source_row) {
  if (blocks_ == 0) BeginBlock();  // rows before any Rows: line
  if (!holding_) {
    ++rows_not_played_;
    return;
  }
  const std::optional<std::string_view> row = convert_(source_row);
  if (!row) return;
  const auto number = static_cast<uint32_t>(blocks_ - 1);
  if (held_.empty() || held_.back().number != number) held_.push_back({number, {}});
  std::vector<ModulePattern>& parts = held_.back().parts;
  if (parts.empty() || parts.back().rows == kPatternRows) {
    parts.emplace_back();
    ++patterns_;
    positions_ += TimesPlayed(number);
    if (patterns_ > kModulePatterns) return Refuse(SongError::Kind::kTooManyPatterns, patterns_);
    if (positions_ > kModulePositions) {
      return Refuse(SongError::Kind::kTooManyPositions, positions_);
    }
  }
  parts.back().text.append(*row).append(kLineEnd);
  ++parts.back().rows;
}

void SongReader::Refuse(SongError::Kind kind, int64_t count) {
  refused_ = SongError{kind, count, true};
  held_.clear();
}

std::variant<Song, SongError> SongReader::Finish() {
  if (refused_) return *refused_;
  if (orders_seen_ && !orders_ended_) OrdersEnded();
  Song song;
  song.entries_left_out = not_numbers_;
  std::vector<uint32_t> order = entries_;
  if (!orders_seen_) {
    for (const Block& block : held_) order.push_back(block.number);
  }
  std::vector<int> first_pattern(held_.size(), -1);
  for (uint32_t number : order) {
    const auto block =
        std::lower_bound(held_.begin(), held_.end(), number,
                         [](const Block& held, uint32_t wanted) { return held.number < wanted; });
    if (block == held_.end() || block->number != number) {
      ++song.entries_left_out;
      continue;
    }
    int& first = first_pattern[static_cast<size_t>(block - held_.begin())];
    if (first < 0) {
      first = static_cast<int>(song.patterns.size());
      for (ModulePattern& part : block->parts) song.patterns.push_back(std::move(part));
    }
    for (size_t part = 0; part < block->parts.size(); ++part) {
      song.play_order.push_back(first + static_cast<int>(part));
    }
  }
  const auto patterns = static_cast<int64_t>(song.patterns.size());
  const auto positions = static_cast<int64_t>(song.play_order.size());
  if (patterns == 0) {
    const bool rows = rows_not_played_ > 0 || !held_.empty();
    return SongError{rows ? SongError::Kind::kNothingPlayed : SongError::Kind::kNoRows, 0, false};
  }
  if (patterns > kModulePatterns) {
    return SongError{SongError::Kind::kTooManyPatterns, patterns, false};
  }
  if (positions > kModulePositions) {
    return SongError{SongError::Kind::kTooManyPositions, positions, false};
  }
  return song;
}

}  // namespace converter
