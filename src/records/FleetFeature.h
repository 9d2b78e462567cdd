#pragma once

#include "morvik_records_export.h"

#include <QString>

#include <array>
#include <optional>

// The application features that failure records name. The raw value is the text stored in records.
enum class FleetFeature {
    signin,
    onboarding,
    open,
    sync,
    save,
    share,
    purchase,
    search,
    ai,
    capture,
    playback,
    settings,
    permission,
    network,
    other,
    importing, // "import"
    exporting, // "export"
};

MORVIK_RECORDS_EXPORT QString rawValue(FleetFeature feature);

namespace FleetFeatures {

inline constexpr std::array<FleetFeature, 17> allCases{
    FleetFeature::signin,     FleetFeature::onboarding, FleetFeature::open,     FleetFeature::sync,
    FleetFeature::save,       FleetFeature::share,      FleetFeature::purchase, FleetFeature::search,
    FleetFeature::ai,         FleetFeature::capture,    FleetFeature::playback, FleetFeature::settings,
    FleetFeature::permission, FleetFeature::network,    FleetFeature::other,    FleetFeature::importing,
    FleetFeature::exporting};

// Exactly the raw values, case-sensitive; nothing for any other text.
MORVIK_RECORDS_EXPORT std::optional<FleetFeature> fromRawValue(const QString& raw);

} // namespace FleetFeatures
