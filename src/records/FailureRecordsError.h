#pragma once

#include "morvik_records_export.h"

#include <QString>

#include <concepts>
#include <system_error>

namespace FailureRecords {

struct RecordedError;

// An application error type the records understand: the application declares
// `FailureRecords::RecordedError recordedError(const TheError&)` next to the type, where
// argument-dependent lookup finds it, giving the error's domain text and integer code.
template <typename E>
concept MappedError = requires(const E& error) {
    { recordedError(error) } -> std::same_as<RecordedError>;
};

// The two facts a failure code is made of: the error's domain and its integer code.
struct MORVIK_RECORDS_EXPORT RecordedError {
    QString domain;
    qint64 code = 0;

    RecordedError(QString domain, qint64 code)
        : domain(std::move(domain))
        , code(code) {}
    // A standard error: the domain is its category's name, the code its value.
    RecordedError(const std::error_code& error) // NOLINT(google-explicit-constructor): reads as the error
        : domain(QString::fromUtf8(error.category().name()))
        , code(error.value()) {}
    template <MappedError E>
    RecordedError(const E& error) // NOLINT(google-explicit-constructor)
        : RecordedError(recordedError(error)) {}
};

} // namespace FailureRecords
