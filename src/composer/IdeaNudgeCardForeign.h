#pragma once

#include "IdeaNudgeCard.h"

#include <QtQml/qqmlregistration.h>

// The idea card's state object, made in QML as IdeaNudgeCard (it lives in the nudge library, which
// knows nothing of QML).
struct IdeaNudgeCardForeign {
    Q_GADGET
    QML_FOREIGN(IdeaNudgeCard)
    QML_NAMED_ELEMENT(IdeaNudgeCard)
};
