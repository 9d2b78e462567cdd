#pragma once

#include <QString>

#include <array>
#include <optional>

// The kind of feedback the user gives. The raw value goes on the wire.
enum class FeedbackIntent { idea, bug, praise };

namespace FeedbackIntents {

inline constexpr std::array<FeedbackIntent, 3> allCases{FeedbackIntent::idea, FeedbackIntent::bug,
                                                        FeedbackIntent::praise};

// Exact, case-sensitive: "idea", "bug" or "praise".
std::optional<FeedbackIntent> fromRawValue(const QString& raw);
QString rawValue(FeedbackIntent intent);
inline QString id(FeedbackIntent intent) {
    return rawValue(intent);
}
QString label(FeedbackIntent intent);
QString shortLabel(FeedbackIntent intent);
// A symbol name from the freedesktop-style symbol set the views map to icons.
QString icon(FeedbackIntent intent);
QString prompt(FeedbackIntent intent);
QString noun(FeedbackIntent intent);

} // namespace FeedbackIntents
