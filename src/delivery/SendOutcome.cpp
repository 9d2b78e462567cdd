#include "SendOutcome.h"

#include <ostream>

namespace Feedback {

SendOutcome SendOutcome::sent(const QString& code) {
    return SendOutcome(Kind::sent, code);
}
SendOutcome SendOutcome::refused(const QString& reply) {
    return SendOutcome(Kind::refused, reply);
}
SendOutcome SendOutcome::failed() {
    return SendOutcome(Kind::failed, QString());
}

std::optional<QString> SendOutcome::code() const {
    return kind_ == Kind::sent ? std::optional<QString>(text_) : std::nullopt;
}

std::optional<QString> SendOutcome::refusal() const {
    return kind_ == Kind::refused ? std::optional<QString>(text_) : std::nullopt;
}

void PrintTo(const SendOutcome& outcome, std::ostream* out) {
    switch (outcome.kind()) {
    case SendOutcome::Kind::sent:
        *out << "sent(\"" << outcome.code()->toStdString() << "\")";
        break;
    case SendOutcome::Kind::refused:
        *out << "refused(\"" << outcome.refusal()->toStdString() << "\")";
        break;
    case SendOutcome::Kind::failed:
        *out << "failed";
        break;
    }
}

} // namespace Feedback
