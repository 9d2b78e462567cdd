#pragma once

#include "morvik_records_export.h"

#include <QString>

#include <array>
#include <optional>

// The journey milestones; each is stamped once per store file. The raw value equals the case name and
// is how a step is written in JSON.
enum class JourneyStep { opened, signed_in, first_action, first_success };

MORVIK_RECORDS_EXPORT QString rawValue(JourneyStep step);

namespace JourneySteps {

inline constexpr std::array<JourneyStep, 4> allCases{JourneyStep::opened, JourneyStep::signed_in,
                                                     JourneyStep::first_action, JourneyStep::first_success};

MORVIK_RECORDS_EXPORT std::optional<JourneyStep> fromRawValue(const QString& raw);

} // namespace JourneySteps
