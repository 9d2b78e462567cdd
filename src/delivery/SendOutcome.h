#pragma once

#include "morvik_delivery_export.h"

#include <QString>

#include <iosfwd>
#include <optional>

namespace Feedback {

// The result of posting one report: sent with the service's reference code, refused with a reply for
// the user (at most 300 user-perceived characters), or failed.
class MORVIK_DELIVERY_EXPORT SendOutcome {
public:
    enum class Kind { sent, refused, failed };

    static SendOutcome sent(const QString& code);
    static SendOutcome refused(const QString& reply);
    static SendOutcome failed();

    Kind kind() const { return kind_; }
    bool isSent() const { return kind_ == Kind::sent; }
    // The reference code of a sent report; absent otherwise.
    std::optional<QString> code() const;
    // The reply of a refused report; absent otherwise.
    std::optional<QString> refusal() const;

    // Same case with equal text; two failures are equal.
    friend bool operator==(const SendOutcome& a, const SendOutcome& b) {
        return a.kind_ == b.kind_ && a.text_ == b.text_;
    }

private:
    SendOutcome(Kind kind, QString text)
        : kind_(kind)
        , text_(std::move(text)) {}

    Kind kind_;
    QString text_;
};

// Readable test failure messages: sent("AB12"), refused("..."), failed.
MORVIK_DELIVERY_EXPORT void PrintTo(const SendOutcome& outcome, std::ostream* out);

} // namespace Feedback
