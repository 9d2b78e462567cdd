#pragma once

#include "morvik_config_export.h"

#include <QString>

#include <array>
#include <optional>

// The kind of feedback the user gives. The raw value goes on the wire.
enum class FeedbackIntent { idea, bug, praise };

namespace FeedbackIntents {

inline constexpr std::array<FeedbackIntent, 3> allCases{FeedbackIntent::idea, FeedbackIntent::bug,
                                                        FeedbackIntent::praise};

// Exact, case-sensitive: "idea", "bug" or "praise".
MORVIK_CONFIG_EXPORT std::optional<FeedbackIntent> fromRawValue(const QString& raw);
MORVIK_CONFIG_EXPORT QString rawValue(FeedbackIntent intent);
inline QString id(FeedbackIntent intent) {
    return rawValue(intent);
}
MORVIK_CONFIG_EXPORT QString label(FeedbackIntent intent);
MORVIK_CONFIG_EXPORT QString shortLabel(FeedbackIntent intent);
// A symbol name from the freedesktop-style symbol set the views map to icons.
MORVIK_CONFIG_EXPORT QString icon(FeedbackIntent intent);
MORVIK_CONFIG_EXPORT QString prompt(FeedbackIntent intent);
MORVIK_CONFIG_EXPORT QString noun(FeedbackIntent intent);

} // namespace FeedbackIntents
