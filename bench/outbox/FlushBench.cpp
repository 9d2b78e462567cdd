// Figures for the outbox flush: the time a flush of 100 stored reports takes against the loopback
// feedback service, side by side with posting the same 100 bodies directly (the HTTP floor), so the
// cost of claiming, reading and checking each stored file shows. Prints medians of several rounds.

#include "Feedback.h"
#include "FeedbackOutbox.h"
#include "FeedbackReport.h"
#include "ServiceStandIn.h"

#include <QCoreApplication>
#include <QCoroTask>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int reports = 100;
constexpr int rounds = 7;

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename T> T run(QCoro::Task<T> task) {
    return QCoro::waitFor(std::move(task));
}

QCoro::Task<int> postDirectly(QList<QByteArray> bodies) {
    int accepted = 0;
    for (const QByteArray& body : bodies)
        accepted += (co_await Feedback::postOutcome(body, std::nullopt)).isSent() ? 1 : 0;
    co_return accepted;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir home;
    const std::unique_ptr<ServiceStandIn> service = ServiceStandIn::startOnThread();
    if (!home.isValid() || !service) {
        std::fputs("cannot set up the outbox or the loopback service\n", stderr);
        return 1;
    }
    Feedback::setFeedbackServiceURL(service->baseUrl());
    Feedback::setAppKey(QStringLiteral("bench-app"));
    Feedback::setIngestKey(QStringLiteral("bench-ingest"));
    FeedbackOutbox::setDirectory(home.filePath(QStringLiteral("FeedbackOutbox")));

    QList<QByteArray> bodies;
    for (int i = 0; i < reports; ++i)
        bodies.append(QJsonDocument(Feedback::reportPayload(
                                        FeedbackIntent::bug,
                                        QStringLiteral("Report %1: the export drops a layer").arg(i),
                                        QStringLiteral("ada@example.org"), QString(), std::nullopt))
                          .toJson(QJsonDocument::Compact));

    std::vector<double> flushMs, directMs;
    for (int round = 0; round < rounds; ++round) {
        for (const QByteArray& body : bodies)
            FeedbackOutbox::save(body);
        const auto flushStart = Clock::now();
        const int flushed = run(Feedback::flushOutbox());
        flushMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - flushStart).count());

        const auto directStart = Clock::now();
        const int posted = run(postDirectly(bodies));
        directMs.push_back(std::chrono::duration<double, std::milli>(Clock::now() - directStart).count());
        if (flushed != reports || posted != reports) {
            std::fprintf(stderr, "round %d: flushed %d, posted %d of %d\n", round, flushed, posted, reports);
            return 1;
        }
        service->clearRequests();
    }
    std::printf("outbox flush of %d reports (median of %d rounds): %.1f ms; the same bodies posted directly: "
                "%.1f ms; flush/direct %.2fx\n",
                reports, rounds, median(flushMs), median(directMs), median(flushMs) / median(directMs));
    return 0;
}
