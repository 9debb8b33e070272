// libFuzzer target for the AU frame parser. The input arrives in pieces (the first byte sets their
// size and, with its top bit, the AU680's decimal comma); the relay buffer cuts it into frames,
// each frame is parsed, answered with an order or relayed as a control frame, and its calibration
// standards wait in the pending list.
#include "core/FrameText.h"
#include "drivers/au/AuFrame.h"
#include "drivers/au/AuOrder.h"
#include "drivers/au/AuRelayBuffer.h"
#include "drivers/au/PendingCalibrations.h"

#include <cstdint>
#include <cstdlib>

using namespace Quorlix;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckFrame(const QString& frame, bool au680, PendingCalibrations& pending, const QDateTime& at)
{
    const AuFrame f = au680 ? ParseAu680Frame(frame) : ParseAuFrame(frame);
    Check(!f.rejected || !f.problems.isEmpty());
    Check(f.resultCount >= 0 && f.resultCount <= MaxResults && f.calibration.size() <= MaxResults);
    for (int k = 0; k < f.resultCount; ++k) {
        const ResultEntry& e = f.results[size_t(k)];
        Check(e.Channel >= 0 && e.Value.size() == 6 && e.DataAlarm.size() == 2);
        Check(!au680 || !e.Value.contains(QLatin1Char(',')));
    }
    for (const AuCalibrationEntry& e : f.calibration) {
        Check(e.channel >= 0 && e.standardNo >= 1 && e.standardNo <= MaxStandards);
        for (const QString& reading : e.readings)
            Check(reading.size() == 6);
    }
    if (f.content == AuFrame::Content::OrderRequest && !f.rejected) {
        // Channels as the database might hold them, some beyond two digits.
        QList<int> channels;
        for (const QChar c : f.id.sampleId)
            channels << int(c.unicode()) - 32;
        QStringList problems;
        const QString order = BuildAuOrder(f.code, f.id, channels, problems);
        Check(order.size() == 38 + 2 * (channels.size() - problems.size()));
        Check(order.at(0) == QLatin1Char('S') && order.at(1) == f.code.at(1));
    }
    if (f.content == AuFrame::Content::Results && !f.rejected) {
        const QString relayed = BuildAuControlFrame(frame, f.id.sampleId);
        Check(relayed.startsWith(Stx + QLatin1String("DQ")) && relayed.endsWith(Etx) &&
              relayed.count(Etx) == 1);
        const AuFrame again = ParseAuFrame(relayed, au680 ? AuDecimals::CommaToPoint : AuDecimals::Point);
        Check(again.resultCount >= f.resultCount);
        for (int k = 0; k < f.resultCount; ++k)
            Check(again.results[size_t(k)].Value == f.results[size_t(k)].Value);
    }
    pending.add(f.calibration, at);
    Check(pending.size() <= PendingCalibrations::Limit);
    for (const AuCalibrationEntry& e : f.calibration) {
        const int expected = e.standardNo; // any count from 1 to 6
        if (const std::optional<CalibrationRecord> cal = pending.takeComplete(e.channel, expected))
            Check(cal->CalChannel == e.channel && cal->CalStdCount >= expected &&
                  cal->CalStdCount <= MaxStandards);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype step = data[0] % 64 + 1;
    const bool au680 = (data[0] & 0x80) != 0;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    AuRelayBuffer relay;
    PendingCalibrations pending;
    QDateTime at(QDate(2026, 1, 1), QTime(0, 0));
    for (qsizetype from = 0; from < text.size(); from += step) {
        const AuRelayBuffer::Output out = relay.append(text.mid(from, step));
        Check(relay.pending().size() < AuRelayBuffer::Limit);
        for (const QString& forwarded : out.forward) {
            if (forwarded == QString(Ack))
                continue;
            Check(forwarded.startsWith(Stx) && forwarded.endsWith(Etx) && forwarded.count(Stx) == 1 &&
                  forwarded.count(Etx) == 1 && !forwarded.contains(Ack));
            at = at.addSecs(qint64(forwarded.size()) * 60); // some frames arrive hours apart
            CheckFrame(forwarded, au680, pending, at);
        }
    }
    // The whole input as one frame, whatever it holds.
    CheckFrame(text, au680, pending, at);
    return 0;
}
