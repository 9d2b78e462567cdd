#pragma once

#include "morvik_host_export.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

// The settings one `config` message carries; a key that is absent, of another type or (for the
// identity texts) empty is left out, as is an owner process id outside 2 ... 2^31-1.
struct MORVIK_HOST_EXPORT OwnerConfig {
    std::optional<QString> appKey;
    std::optional<QString> ingestKey;
    std::optional<QString> productName;
    std::optional<QString> version;
    std::optional<QString> build;
    std::optional<std::int32_t> ownerPID;

    static OwnerConfig fromJson(const QJsonObject& config);
};

// One line from the owner, classified. The shapes are tested in a fixed order (configuration, compose,
// snapshot answer, flush) and the first that matches is the only one acted on; a line that matches
// none (or is not a JSON object) is `ignored`. A flush carries no `id`: a line with an integer `id` is
// a snapshot answer whatever its `cmd`, and one with any other `id` is ignored.
struct MORVIK_HOST_EXPORT OwnerMessage {
    enum class Kind { ignored, configure, compose, flush, snapshotAnswer };

    Kind kind = Kind::ignored;
    OwnerConfig config;                 // configure
    std::int64_t id = 0;                // snapshotAnswer
    std::optional<QByteArray> snapshot; // snapshotAnswer: decoded bytes, absent when missing or invalid

    static OwnerMessage fromLine(QByteArrayView line);
    static OwnerMessage fromObject(const QJsonObject& message);
};
