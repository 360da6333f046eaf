// The one conversion: a source's rows translated into a target, the same
// steps for every source and target.
#ifndef PATCONV_CONVERTER_CONVERSION_H_
#define PATCONV_CONVERTER_CONVERSION_H_

#include <string_view>

#include "converter/session.h"
#include "converter/settings.h"
#include "converter/sources.h"
#include "converter/targets.h"

namespace converter {

/// The first line of the converted text.
inline constexpr std::string_view kTargetHeader = "Vortex Tracker II v1.0 Pattern";

/// Converts `source` into `target` in `session`: the pieces' checks; the
/// screen's start and the dialogue's questions, the source's first; the
/// source opened, and the target when the source is; the status line, the
/// header line, and every row translated as `settings` say, written to the
/// target and shown on the console; both closed; and after a run without
/// a failure, the source's warnings and the target's delivery.  Returns
/// the exit status: 0, or 1 once a failure has been reported.
int Convert(Session& session, Source& source, Target& target, const Settings& settings);

}  // namespace converter

#endif  // PATCONV_CONVERTER_CONVERSION_H_
