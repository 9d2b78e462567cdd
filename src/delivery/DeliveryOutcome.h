#pragma once

#include "morvik_delivery_export.h"

#include "SendOutcome.h"

#include <QString>

#include <optional>

namespace Feedback {

// What deliverOutcome hands back: the report's outcome and, when the report went out without its
// snapshot, the note for the user.
struct MORVIK_DELIVERY_EXPORT DeliveryOutcome {
    SendOutcome outcome;
    std::optional<QString> screenshotNote;
};

// What deliver hands back: the reference code of an accepted report and the same note; both absent
// when the report was refused or failed.
struct MORVIK_DELIVERY_EXPORT Delivery {
    std::optional<QString> code;
    std::optional<QString> screenshotNote;
};

} // namespace Feedback
