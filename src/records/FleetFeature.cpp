#include "FleetFeature.h"

QString rawValue(FleetFeature feature) {
    switch (feature) {
    case FleetFeature::signin:
        return QStringLiteral("signin");
    case FleetFeature::onboarding:
        return QStringLiteral("onboarding");
    case FleetFeature::open:
        return QStringLiteral("open");
    case FleetFeature::sync:
        return QStringLiteral("sync");
    case FleetFeature::save:
        return QStringLiteral("save");
    case FleetFeature::share:
        return QStringLiteral("share");
    case FleetFeature::purchase:
        return QStringLiteral("purchase");
    case FleetFeature::search:
        return QStringLiteral("search");
    case FleetFeature::ai:
        return QStringLiteral("ai");
    case FleetFeature::capture:
        return QStringLiteral("capture");
    case FleetFeature::playback:
        return QStringLiteral("playback");
    case FleetFeature::settings:
        return QStringLiteral("settings");
    case FleetFeature::permission:
        return QStringLiteral("permission");
    case FleetFeature::network:
        return QStringLiteral("network");
    case FleetFeature::other:
        return QStringLiteral("other");
    case FleetFeature::importing:
        return QStringLiteral("import");
    case FleetFeature::exporting:
        return QStringLiteral("export");
    }
    return QStringLiteral("other");
}

namespace FleetFeatures {

std::optional<FleetFeature> fromRawValue(const QString& raw) {
    for (const FleetFeature feature : allCases)
        if (rawValue(feature) == raw)
            return feature;
    return std::nullopt;
}

} // namespace FleetFeatures
