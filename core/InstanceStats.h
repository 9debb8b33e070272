#pragma once

#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

namespace Quorlix {

// What one line has carried since the start: frames as the communication log writes them.
struct LineTraffic
{
    std::uint64_t framesReceived = 0;
    std::uint64_t framesSent = 0;
    QString lastReceived; // the frame's text as logged, control characters by name
    QString lastSent;
    QDateTime lastReceivedAt;
    QDateTime lastSentAt;
};

// Reply times of answered order requests, in the buckets of the metrics' histogram (upper bounds
// in milliseconds; the last bucket holds everything slower).
struct ReplyTimes
{
    static constexpr std::array<double, 11> BoundsMs{1, 2, 5, 10, 20, 50, 100, 200, 500, 1000, 5000};
    std::array<std::uint64_t, BoundsMs.size() + 1> buckets{};
    std::uint64_t count = 0;
    double sumMs = 0;

    void add(double ms)
    {
        std::size_t i = 0;
        while (i < BoundsMs.size() && ms > BoundsMs[i])
            ++i;
        ++buckets[i];
        ++count;
        sumMs += ms;
    }
};

// The instance's own counters since it started, read by its status row and its metrics. Plain
// data on the one thread: whoever does the work counts it.
struct InstanceStats
{
    LineTraffic analyzer;
    LineTraffic lims;
    ReplyTimes orderReplies; // order requests answered, from the request's arrival to the answer
    std::uint64_t resultsStored = 0;
    std::uint64_t controlsStored = 0;
    std::uint64_t calibrationsStored = 0;
    std::uint64_t databaseFailures = 0;
    QString lastError; // the last failure, as its Monitor line says it
    QDateTime lastErrorAt;
    QDateTime lastHeartbeat;
    QDateTime startedAt; // when the engine started
};

} // namespace Quorlix
