#include "JourneyStep.h"

QString rawValue(JourneyStep step) {
    switch (step) {
    case JourneyStep::opened:
        return QStringLiteral("opened");
    case JourneyStep::signed_in:
        return QStringLiteral("signed_in");
    case JourneyStep::first_action:
        return QStringLiteral("first_action");
    case JourneyStep::first_success:
        return QStringLiteral("first_success");
    }
    return QStringLiteral("opened");
}

namespace JourneySteps {

std::optional<JourneyStep> fromRawValue(const QString& raw) {
    for (const JourneyStep step : allCases)
        if (rawValue(step) == raw)
            return step;
    return std::nullopt;
}

} // namespace JourneySteps
