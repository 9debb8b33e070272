// libFuzzer target for the Hitachi frame parsers: the input arrives on the line in pieces (the
// first byte sets their size), is collected by a FrameBuffer, and every complete frame
// is parsed and, for an inquiry, answered. Built once per model (HITACHI_MODEL 911, 902, 912).
#include "core/FrameText.h"
#include "drivers/hitachi/FrameBuffer.h"
#include "drivers/hitachi/HitachiFrame.h"
#include "drivers/hitachi/HitachiReply.h"

#include <cstdint>
#include <cstdlib>

using namespace Quorlix;

namespace {

void Parse(const QString& text, HitachiFrame& frame)
{
#if HITACHI_MODEL == 911
    ParseHit911Frame(text, frame);
#elif HITACHI_MODEL == 902
    ParseHit902Frame(text, frame);
#else
    ParseHit912Frame(text, frame);
#endif
}

QString Reply(const HitachiFrame& frame, qsizetype* expectedSize)
{
    SampleRecord sample;
    sample.SampleId = frame.sampleId;
    sample.SampleDisc = frame.sampleDisc;
    sample.SamplePos = frame.samplePos;
#if HITACHI_MODEL == 911
    *expectedSize = 92;
    return BuildHit911Order(frame.record, sample, QString(48, QLatin1Char('0')));
#elif HITACHI_MODEL == 902
    *expectedSize = 85;
    return BuildHit902Order(frame.record, sample, QString(37, QLatin1Char('0')));
#else
    *expectedSize = 216;
    return BuildHit912Order(frame.record, sample, QString(48, QLatin1Char('0')), Hit912Patient());
#endif
}

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const qsizetype step = data[0] % 64 + 1;
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    FrameBuffer buffer;
    HitachiFrame frame;
    for (qsizetype at = 0; at < text.size(); at += step) {
        const QString piece = text.mid(at, step);
        buffer.append(piece);
        Check(buffer.text().size() <= FrameBuffer::Limit);
        qsizetype dropped = 0;
        while (const std::optional<QString> complete = buffer.takeFrame(&dropped)) {
            Check(complete->startsWith(Stx) && complete->endsWith(Etx));
            Parse(*complete, frame);
            Check(frame.resultCount >= 0 && frame.resultCount <= MaxResults);
            if (frame.rejected) {
                Check(!frame.problems.isEmpty());
                continue;
            }
            if (frame.content == HitachiFrame::Content::Calibration)
                Check(frame.calibration.CalStdCount >= 0 && frame.calibration.CalStdCount <= MaxStandards);
            for (int k = 0; k < frame.resultCount; ++k) {
                const ResultEntry& entry = frame.results[size_t(k)];
                Check(entry.DataAlarm.size() == 1);
                Check(entry.Value.size() == 6 || entry.Value == QLatin1String("NULL"));
            }
            if (frame.content == HitachiFrame::Content::Inquiry) {
                qsizetype expected = 0;
                Check(Reply(frame, &expected).size() == expected);
            }
        }
    }
    return 0;
}
