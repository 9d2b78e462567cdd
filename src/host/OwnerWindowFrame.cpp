#include "OwnerWindowFrame.h"

#include "DesktopWindows.h"
#include "FeedbackExternalHost.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace FeedbackExternalHost {
namespace {

// A number in the sense of the window list: any integer or floating-point value, never text or a
// truth value that merely converts to one.
std::optional<double> number(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        return std::isfinite(d) ? std::optional<double>(d) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

// The integer value of a number, truncated toward zero; nothing outside the 64-bit range.
std::optional<std::int64_t> integer(const QVariant& value) {
    if (value.typeId() == QMetaType::LongLong || value.typeId() == QMetaType::Int ||
        value.typeId() == QMetaType::Long || value.typeId() == QMetaType::Short)
        return value.toLongLong();
    const auto d = number(value);
    if (!d || std::fabs(*d) >= 9.2e18)
        return std::nullopt;
    return static_cast<std::int64_t>(std::trunc(*d));
}

} // namespace

std::optional<QRectF> frontWindowFrame(const QList<QVariantMap>& windows, std::int32_t ownerPID,
                                       double primaryScreenHeight) {
    for (const QVariantMap& entry : windows) {
        const auto pid = integer(entry.value(DesktopWindows::ownerPIDKey));
        if (!pid || *pid != ownerPID)
            continue;
        const auto layer = integer(entry.value(DesktopWindows::layerKey));
        if (!layer || *layer != DesktopWindows::normalLayer)
            continue;
        if (const auto alpha = number(entry.value(DesktopWindows::alphaKey)); alpha && *alpha <= 0)
            continue;
        const QVariant boundsValue = entry.value(DesktopWindows::boundsKey);
        if (boundsValue.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap bounds = boundsValue.toMap();
        const auto x = number(bounds.value(QStringLiteral("X")));
        const auto y = number(bounds.value(QStringLiteral("Y")));
        const auto width = number(bounds.value(QStringLiteral("Width")));
        const auto height = number(bounds.value(QStringLiteral("Height")));
        if (!x || !y || !width || !height)
            continue;
        if (*width < minimumOwnerWindowWidth || *height < minimumOwnerWindowHeight)
            continue;
        return QRectF(*x, primaryScreenHeight - *y - *height, *width, *height);
    }
    return std::nullopt;
}

std::optional<QRectF> ownerWindowFrame() {
    const auto owner = ownerPID();
    if (!owner)
        return std::nullopt;
    const auto windows = DesktopWindows::system().windowList();
    if (!windows)
        return std::nullopt;
    const QList<QScreen*> screens = QGuiApplication::screens();
    const double primaryScreenHeight = screens.isEmpty() ? 0 : screens.first()->geometry().height();
    return frontWindowFrame(*windows, *owner, primaryScreenHeight);
}

} // namespace FeedbackExternalHost
