#include "FeedbackRewards.h"

#include "DeliveryTimings.h"
#include "Feedback.h"
#include "HttpClassification.h"
#include "NetworkSession.h"
#include "PlainEntry.h"
#include "PreferenceStore.h"

namespace Feedback {
namespace {

constexpr const char* cachePrefix = "velquist.fb.rewards.";

// The wording is public, so it goes through the plain platform session rather than Feedback::session.
HttpSession& platformSession() {
    static NetworkSession shared;
    return shared;
}

} // namespace

QUrl rewardsEndpoint() {
    return endpoint(feedbackServiceURL(), QStringLiteral("/rewards"));
}

QString rewardsCacheKey() {
    return QString::fromLatin1(cachePrefix) + appKey();
}

Rewards rewards() {
    const QVariant stored = PreferenceStore::standard().value(rewardsCacheKey());
    if (!stored.isValid())
        return Rewards::builtin();
    return Rewards::decode(stored.toByteArray()).value_or(Rewards::builtin());
}

QCoro::Task<> refreshRewardsTask() {
    const QString key = appKey();
    if (key.isEmpty())
        co_return;
    QUrl url = rewardsEndpoint();
    // Everything but the unreserved characters is escaped, "+" and "&" included, so the service reads
    // back exactly the key.
    url.setQuery(QStringLiteral("app=") + QString::fromLatin1(QUrl::toPercentEncoding(key)),
                 QUrl::StrictMode);
    // The application key rides in the query: like every key, it goes only over https or to loopback.
    if (!url.isValid() || !HttpSession::maySendSecrets(url))
        co_return;
    HttpRequest request;
    request.url = url;
    request.timeout = DeliveryTimings::rewardsTimeout();
    const HttpResult result = co_await platformSession().send(std::move(request));
    if (HttpClassification::rewards().verdict(result) != HttpVerdict::accepted ||
        !Rewards::decode(result.body))
        co_return;
    // The key is built again now: the stored answer belongs to the application key of this moment.
    PreferenceStore::standard().setValue(rewardsCacheKey(), result.body);
}

void refreshRewards(std::function<void()> done) {
    PlainEntry::run(refreshRewardsTask(), std::move(done));
}

} // namespace Feedback
