#pragma once

#include "morvik_host_export.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A library of ours that the helper loads only when it first needs it (Qt Quick for windows, the
// network stack for deliveries), so that start-up costs no more than a bare application's. It sits
// beside the helper binary and exposes one C factory that returns a new object the caller owns.
// Loaded at most once and never unloaded.
class MORVIK_HOST_EXPORT OnDemandLibrary {
public:
    OnDemandLibrary(QString fileName, QByteArray factorySymbol);

    // Calls the factory; nullptr, with one log line the first time, when the library or its factory
    // cannot be found.
    template <typename T> std::unique_ptr<T> create() {
        return std::unique_ptr<T>(static_cast<T*>(createUntyped()));
    }

    QString path() const;

private:
    void* createUntyped();

    QString fileName_;
    QByteArray factorySymbol_;
    bool failed_ = false;
};
