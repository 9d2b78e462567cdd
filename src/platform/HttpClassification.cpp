#include "HttpClassification.h"

#include <limits>

namespace {

using V = HttpVerdict;
using Rule = HttpClassification::Rule;

constexpr int anyAbove = std::numeric_limits<int>::max();

// The first rule that covers a status decides.

// A refusal carries a reply for the user. Every other answer leaves the report in the outbox.
constexpr Rule reportRules[] = {
    {200, 299, V::accepted},
    {403, 403, V::refused},
};
constexpr HttpClassification reportTable{reportRules, V::tryLater};

// Time-outs, throttling and server trouble pass; 413 is tried again with a smaller picture.
constexpr Rule snapshotRules[] = {
    {200, 299, V::accepted}, {408, 408, V::tryLater},      {413, 413, V::tryLater},
    {429, 429, V::tryLater}, {500, anyAbove, V::tryLater},
};
constexpr HttpClassification snapshotTable{snapshotRules, V::refused};

// A batch the account service cannot read (400) or will not take (413) is dropped, so it cannot block
// the queue; it still counts against the day's uploads. Everything else, 401, 403, 429, 5xx and a
// redirect that was not followed included, keeps the batch for a later upload.
constexpr Rule recordsRules[] = {
    {200, 299, V::accepted},
    {400, 400, V::refused},
    {413, 413, V::refused},
};
constexpr HttpClassification recordsTable{recordsRules, V::tryLater};

// The bundle is asked for once per run: any answer but a 2xx leaves the run without one.
constexpr Rule diagnosticsRules[] = {
    {200, 299, V::accepted},
};
constexpr HttpClassification diagnosticsTable{diagnosticsRules, V::refused};

// Only an exact 200 carries the wording; anything else leaves the stored wording as it is.
constexpr Rule rewardsRules[] = {
    {200, 200, V::accepted},
};
constexpr HttpClassification rewardsTable{rewardsRules, V::refused};

} // namespace

const HttpClassification& HttpClassification::report() {
    return reportTable;
}
const HttpClassification& HttpClassification::snapshot() {
    return snapshotTable;
}
const HttpClassification& HttpClassification::records() {
    return recordsTable;
}
const HttpClassification& HttpClassification::diagnostics() {
    return diagnosticsTable;
}
const HttpClassification& HttpClassification::rewards() {
    return rewardsTable;
}

HttpVerdict HttpClassification::verdict(int status) const {
    for (const Rule& rule : rules_)
        if (status >= rule.first && status <= rule.last)
            return rule.verdict;
    return otherwise_;
}

HttpVerdict HttpClassification::verdict(const HttpResult& result) const {
    if (result.status)
        return verdict(*result.status);
    if (result.failure == HttpFailureKind::unsafeHeader)
        return HttpVerdict::refused;
    return HttpVerdict::transportFailure;
}
