#pragma once

#include <QQuickItem>
#include <QString>

// The first item named so in the visual tree below `from` (itself included). Items made by a
// Repeater or placed in a popup's overlay are not QObject children of the root, so the search follows
// the visual tree.
inline QQuickItem* findItem(QQuickItem* from, const QString& name) {
    if (from->objectName() == name)
        return from;
    for (QQuickItem* child : from->childItems())
        if (QQuickItem* found = findItem(child, name))
            return found;
    return nullptr;
}
