// Figures for the failure records: what Feedback::failed costs the calling thread, and what a burst
// of recordings from several threads costs the records queue. Prints the figures; checks that no
// recording is lost.

#include "FailureRecords.h"
#include "Feedback.h"
#include "FeedbackRecords.h"
#include "FleetFeature.h"
#include "RecordsQueue.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double nanoseconds(Clock::duration d) {
    return std::chrono::duration<double, std::nano>(d).count();
}

double median(std::vector<double> values) {
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double percentile(std::vector<double> values, double p) {
    const auto at = static_cast<size_t>(p * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + static_cast<long>(at), values.end());
    return values[at];
}

// CPU time the records queue's thread has used so far.
double queueCpuMilliseconds() {
    return RecordsQueue::shared().sync([] {
        timespec spent{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &spent);
        return static_cast<double>(spent.tv_sec) * 1e3 + static_cast<double>(spent.tv_nsec) / 1e6;
    });
}

template <typename Call> void measureCallerCost(const char* name, Call call) {
    constexpr int samples = 200000;
    for (int i = 0; i < 2000; ++i)
        call(i);
    FailureRecords::snapshot(); // let the queue catch up before measuring
    std::vector<double> costs;
    costs.reserve(samples);
    for (int i = 0; i < samples; ++i) {
        const auto start = Clock::now();
        call(i);
        costs.push_back(nanoseconds(Clock::now() - start));
    }
    FailureRecords::snapshot();
    std::printf("  %-44s median %7.0f ns   p90 %7.0f ns   p99 %7.0f ns\n", name, median(costs),
                percentile(costs, 0.90), percentile(costs, 0.99));
}

struct Burst {
    const char* name;
    int threads;
    int perThread;
    // The failure that thread t records as its i-th.
    std::function<void(int t, int i)> record;
    int expectedEntries;
    qint64 expectedTotal;
};

bool runBurst(const Burst& burst) {
    // A fresh store: whatever is unsaved goes to the old file first, then the file goes.
    FailureRecords::resetForTests();
    QFile::remove(*FailureRecords::storeURL());
    FailureRecords::resetForTests();
    const quint64 writesBefore = FailureRecords::storeWriteCount();
    const double cpuBefore = queueCpuMilliseconds();

    const auto start = Clock::now();
    std::vector<std::thread> threads;
    std::vector<double> postingMs(burst.threads);
    for (int t = 0; t < burst.threads; ++t)
        threads.emplace_back([&, t] {
            const auto threadStart = Clock::now();
            for (int i = 0; i < burst.perThread; ++i)
                burst.record(t, i);
            postingMs[t] = nanoseconds(Clock::now() - threadStart) / 1e6;
        });
    for (auto& thread : threads)
        thread.join();
    const auto posted = Clock::now();
    const FailureRecords::State state = FailureRecords::snapshot();
    FailureRecords::resetForTests(); // writes what is still unsaved
    const auto settled = Clock::now();

    qint64 total = 0;
    for (const FailureRecords::Entry& entry : state.pending)
        total += entry.count;
    const auto stored = FailureRecords::State::decode([&] {
        QFile file(*FailureRecords::storeURL());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }());
    const bool complete = state.pending.size() == burst.expectedEntries && total == burst.expectedTotal &&
                          stored && *stored == state;

    std::printf("  %s: %d threads x %d recordings\n", burst.name, burst.threads, burst.perThread);
    std::printf("    entries %lld, counts add up to %lld (expected %d and %lld), file matches: %s\n",
                static_cast<long long>(state.pending.size()), static_cast<long long>(total),
                burst.expectedEntries, static_cast<long long>(burst.expectedTotal),
                stored && *stored == state ? "yes" : "NO");
    std::printf("    posting on the callers: slowest thread %.2f ms\n",
                *std::max_element(postingMs.begin(), postingMs.end()));
    std::printf(
        "    from the first post until the queue had applied everything: %.2f ms (until written: %.2f ms)\n",
        nanoseconds(posted - start) / 1e6, nanoseconds(settled - start) / 1e6);
    std::printf("    queue thread CPU time: %.2f ms, store file writes: %llu\n",
                queueCpuMilliseconds() - cpuBefore,
                static_cast<unsigned long long>(FailureRecords::storeWriteCount() - writesBefore));
    return complete;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    FailureRecords::setStoreURL(dir.filePath(QStringLiteral("DovarureVuz/records.json")));
    FailureRecords::setDebounce(std::chrono::hours(1)); // no upload during the measurement
    FailureRecords::resetForTests();

    std::printf("Feedback::failed on the caller's thread:\n");
    measureCallerCost("failed(sync, reason \"E42\")",
                      [](int) { Feedback::failed(FleetFeature::sync, QStringLiteral("E42")); });
    measureCallerCost("failed(sync) without reason or error",
                      [](int) { Feedback::failed(FleetFeature::sync); });
    measureCallerCost("failed(sync, error_code)", [](int) {
        Feedback::failed(FleetFeature::sync, std::nullopt, std::make_error_code(std::errc::timed_out));
    });
    {
        std::vector<double> clockCost;
        for (int i = 0; i < 100000; ++i) {
            const auto start = Clock::now();
            clockCost.push_back(nanoseconds(Clock::now() - start));
        }
        std::printf("  (the clock reading itself: median %.0f ns, included above)\n", median(clockCost));
    }

    const QString codes[] = {QStringLiteral("E1"), QStringLiteral("E2"), QStringLiteral("E3")};
    std::printf("\nBurst of recordings from 4 threads:\n");
    bool complete =
        runBurst({"48 distinct failures", 4, 2500,
                  [&](int, int i) { Feedback::failed(FleetFeatures::allCases[i % 16], codes[(i / 16) % 3]); },
                  48, 10000});
    complete &=
        runBurst({"one failure past the count cap", 4, 3000,
                  [](int, int) { Feedback::failed(FleetFeature::sync, QStringLiteral("E1")); }, 1, 10000});
    // One save as the records queue makes it: take the store lock, read the file again, apply this
    // process's unsaved changes on top, write the file atomically, let the lock go.
    {
        FailureRecords::resetForTests();
        std::vector<double> saves;
        for (int i = 0; i < 300; ++i) {
            Feedback::failed(FleetFeatures::allCases[i % 16], codes[i % 3]);
            const auto start = Clock::now();
            FailureRecords::flush();
            saves.push_back(nanoseconds(Clock::now() - start) / 1e3);
        }
        std::printf("\nOne save under the store lock (lock, read, merge, atomic write; 48 entries):\n");
        std::printf("  median %.0f us   p90 %.0f us   p99 %.0f us\n", median(saves), percentile(saves, 0.90),
                    percentile(saves, 0.99));
        std::vector<double> reads;
        for (int i = 0; i < 300; ++i) {
            const auto start = Clock::now();
            FailureRecords::snapshot();
            reads.push_back(nanoseconds(Clock::now() - start) / 1e3);
        }
        std::printf("  snapshot (reads the file again, no lock): median %.0f us   p90 %.0f us\n",
                    median(reads), percentile(reads, 0.90));
    }
    std::printf("\n%s\n", complete ? "No recording lost." : "RECORDINGS LOST");
    return complete ? 0 : 1;
}
