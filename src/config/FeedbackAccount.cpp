#include "FeedbackAccount.h"

#include "Deferred.h"
#include "Feedback.h"

namespace Feedback {

QCoro::Task<std::optional<QString>> currentAccountToken() {
    const AccountToken hook = accountToken();
    if (!hook)
        co_return std::nullopt;
    const std::optional<QString> token = co_await Deferred<std::optional<QString>>::run(hook);
    if (!token)
        co_return std::nullopt;
    const QString trimmed = token->trimmed();
    if (trimmed.isEmpty())
        co_return std::nullopt;
    co_return trimmed;
}

} // namespace Feedback
