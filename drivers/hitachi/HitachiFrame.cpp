#include "HitachiFrame.h"

#include "core/FrameText.h"

namespace Quorlix {

namespace {

const QString SixBlanks(6, QLatin1Char(' '));

enum class AlarmRules
{
    Hit911, // "O" and "X" become ">"
    Hit902, // "O", "X" and ">" become ">"
};

struct ResultLayout
{
    qsizetype countPos;
    qsizetype countWidth;
    qsizetype firstBlock;
    qsizetype blockWidth;
    qsizetype channelWidth;
    bool routineBlankIsNull; // a value of six blanks becomes "NULL"
    AlarmRules alarms;
};

enum class SdValue
{
    None,
    EightAfterStandards,
    YThenSeven
};

struct CalibrationLayout
{
    qsizetype channelPos;
    qsizetype channelWidth;
    qsizetype countPos;
    qsizetype alarmPos;
    qsizetype firstStandard;
    SdValue sd;
};

constexpr qsizetype StandardWidth = 32;

void Begin(HitachiFrame& f)
{
    f.content = HitachiFrame::Content::Other;
    f.rejected = false;
    f.problems.clear();
}

void Reject(HitachiFrame& f, const QString& problem)
{
    f.rejected = true;
    f.problems << problem;
}

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

QString AlarmAfterRules(const QString& value, const QString& alarm, AlarmRules rules)
{
    if (alarm == QLatin1String("O") || alarm == QLatin1String("X") ||
        (rules == AlarmRules::Hit902 && alarm == QLatin1String(">")))
        return QStringLiteral(">");
    // A blank value that carries an alarm is a result the analyzer could not measure.
    if (value == SixBlanks && alarm != QLatin1String(" "))
        return QStringLiteral("?");
    return alarm;
}

// The result count and blocks; the header up to the count is known to be present.
void ReadResults(const QString& data, const ResultLayout& layout, HitachiFrame& f)
{
    const QString countField = MidOneBased(data, layout.countPos, layout.countWidth);
    const QString who = QStringLiteral("results frame of sample %1").arg(Quoted(f.sampleId));
    const std::optional<qint16> count = ReadInteger(countField);
    if (!count || *count < 0) {
        Reject(f, QStringLiteral("%1: result count %2 is not a number of results: frame not stored")
                      .arg(who, Quoted(countField)));
        return;
    }
    const qsizetype held = qMax<qsizetype>(0, (data.size() - layout.firstBlock + 1) / layout.blockWidth);
    qsizetype n = *count;
    if (n > held) {
        f.problems << QStringLiteral("%1: result count %2 but the frame holds %3 complete results: "
                                     "only these are read")
                          .arg(who)
                          .arg(n)
                          .arg(held);
        n = held;
    }
    if (n > MaxResults) {
        f.problems << QStringLiteral("%1: result count %2 is above %3: results after the %3th are not read")
                          .arg(who)
                          .arg(n)
                          .arg(MaxResults);
        n = MaxResults;
    }

    qint16 stored = 0;
    for (qsizetype k = 0; k < n; ++k) {
        const qsizetype p = layout.firstBlock + k * layout.blockWidth;
        const QString channelField = MidOneBased(data, p, layout.channelWidth);
        QString value = MidOneBased(data, p + layout.channelWidth, 6);
        const QString alarm = MidOneBased(data, p + layout.channelWidth + 6, 1);
        const std::optional<qint16> channel = ReadInteger(channelField);
        if (!channel) {
            f.problems << QStringLiteral("%1: result %2 has the channel %3, which is not a number: "
                                         "value %4 not stored")
                              .arg(who)
                              .arg(k + 1)
                              .arg(Quoted(channelField), Quoted(value));
            continue;
        }
        if (layout.routineBlankIsNull && value == SixBlanks)
            value = QStringLiteral("NULL");
        ResultEntry& entry = f.results[static_cast<size_t>(stored++)];
        entry.ParameterId = 0;
        entry.Channel = *channel;
        entry.DataAlarm = AlarmAfterRules(value, alarm, layout.alarms);
        entry.Value = value;
    }
    f.resultCount = stored;
}

void ReadCalibration(const QString& data, const CalibrationLayout& layout, HitachiFrame& f)
{
    f.content = HitachiFrame::Content::Calibration;
    if (data.size() < layout.alarmPos) {
        Reject(f, QStringLiteral("calibration frame cut short before its first standard: frame not stored"));
        return;
    }
    const QString channelField = MidOneBased(data, layout.channelPos, layout.channelWidth);
    const QString countField = MidOneBased(data, layout.countPos, 1);
    const std::optional<qint16> channel = ReadInteger(channelField);
    if (!channel) {
        Reject(f, QStringLiteral("calibration frame: channel %1 is not a number: frame not stored")
                      .arg(Quoted(channelField)));
        return;
    }
    const QString who = QStringLiteral("calibration frame of channel %1").arg(*channel);
    const std::optional<qint16> count = ReadInteger(countField);
    if (!count || *count < 0) {
        Reject(f, QStringLiteral("%1: standard count %2 is not a number of standards: frame not stored")
                      .arg(who, Quoted(countField)));
        return;
    }
    if (*count > MaxStandards) {
        Reject(f, QStringLiteral("%1: standard count %2 is above %3: frame not stored")
                      .arg(who)
                      .arg(*count)
                      .arg(MaxStandards));
        return;
    }
    const qsizetype afterStandards = layout.firstStandard + *count * StandardWidth;
    if (afterStandards - 1 > data.size()) {
        Reject(f, QStringLiteral("%1: standard count %2 but the frame holds %3 complete standards: "
                                 "frame not stored")
                      .arg(who)
                      .arg(*count)
                      .arg(qMax<qsizetype>(0, (data.size() - layout.firstStandard + 1) / StandardWidth)));
        return;
    }

    CalibrationRecord& cal = f.calibration;
    cal.CalChannel = *channel;
    cal.CalStdCount = *count;
    cal.CalAlarm = MidOneBased(data, layout.alarmPos, 1);
    for (qint16 s = 0; s < *count; ++s) {
        const qsizetype q = layout.firstStandard + s * StandardWidth;
        CalStandard& standard = cal.CalStandards[static_cast<size_t>(s)];
        standard.StdNo = QString::number(ReadNumber(MidOneBased(data, q, 1)).value);
        for (qsizetype j = 0; j < 4; ++j)
            standard.Readings[static_cast<size_t>(j)] = MidOneBased(data, q + 1 + j * 6, 6);
        standard.DataAlarm = MidOneBased(data, q + 25, 1);
        standard.ProzoneValue = MidOneBased(data, q + 26, 6);
    }
    switch (layout.sd) {
    case SdValue::None:
        break;
    case SdValue::EightAfterStandards:
        cal.CalSdValue = MidOneBased(data, afterStandards, 8);
        break;
    case SdValue::YThenSeven:
        // Without the marker the frame has no SD value; an older one must not be stored with it.
        cal.CalSdValue = MidOneBased(data, afterStandards, 1) == QLatin1String("Y")
                             ? MidOneBased(data, afterStandards + 1, 7)
                             : QString();
        break;
    }
}

// Positions 1 to 3: STX, function character, class character.
void ReadFunctionAndClass(const QString& frame, HitachiFrame& f)
{
    f.record.CurFrameStart = MidOneBased(frame, 1, 1);
    f.record.CurFunction = MidOneBased(frame, 2, 1);
    f.record.CurFrameClass = MidOneBased(frame, 3, 1);
}

bool HasField(const QString& data, qsizetype lastPosition, HitachiFrame& f, const QString& what)
{
    if (data.size() >= lastPosition)
        return true;
    Reject(f, QStringLiteral("%1 cut short before the end of its %2: frame not used")
                  .arg(f.content == HitachiFrame::Content::Inquiry ? QStringLiteral("inquiry frame")
                                                                   : QStringLiteral("results frame"),
                       what));
    return false;
}

void Read911Identification(const QString& frame, const QString& data, HitachiFrame& f)
{
    HitachiFrameRecord& r = f.record;
    r.CurMark = MidOneBased(data, 4, 1);
    r.CurNumber = MidOneBased(data, 5, 3);
    f.sampleDisc = MidOneBased(data, 8, 1);
    f.samplePos = MidOneBased(data, 9, 2);
    f.sampleId = WithoutBlanks(MidOneBased(data, 11, 13));
    r.CurInfo1 = MidOneBased(data, 24, 4);
    r.CurInfo2 = MidOneBased(data, 28, 1);
    r.CurDate = MidOneBased(data, 29, 6);
    r.CurTime = MidOneBased(data, 35, 4);
    r.CurFrameEnd = frame.right(1);
}

} // namespace

void ParseHit911Frame(const QString& frame, HitachiFrame& f)
{
    Begin(f);
    ReadFunctionAndClass(frame, f);
    const QString data = FramePayload(frame);
    const QString function = f.record.CurFunction;
    const QString frameClass = f.record.CurFrameClass.toUpper();

    if (function == QLatin1String(":")) {
        const bool routine = frameClass == QLatin1String("A") || frameClass == QLatin1String("B");
        if (routine || frameClass == QLatin1String("G")) {
            f.content = HitachiFrame::Content::Results;
            if (!HasField(data, 40, f, QStringLiteral("result count")))
                return;
            Read911Identification(frame, data, f);
            ReadResults(data, {39, 2, 41, 9, 2, routine, AlarmRules::Hit911}, f);
        } else if (frameClass == QLatin1String("M")) {
            ReadCalibration(data, {4, 2, 6, 7, 8, SdValue::None}, f);
        }
    } else if (function == QLatin1String(";")) {
        f.content = HitachiFrame::Content::Inquiry;
        if (!HasField(data, 23, f, QStringLiteral("sample id")))
            return;
        Read911Identification(frame, data, f);
    }
}

void ParseHit902Frame(const QString& frame, HitachiFrame& f)
{
    Begin(f);
    HitachiFrameRecord& r = f.record;
    for (QString* field : {&r.CurFrameStart, &r.CurFunction, &r.CurFrameClass, &r.CurFrameEnd, &r.CurFlag1,
                           &r.CurFlag2, &r.CurMark, &r.CurNumber, &f.sampleDisc, &f.samplePos, &f.sampleId,
                           &r.CurInfo1, &r.CurInfo2, &r.CurDate, &r.CurTime})
        field->clear();
    ReadFunctionAndClass(frame, f);
    const QString data = FramePayload(frame);
    const QString function = r.CurFunction;
    const QString frameClass = r.CurFrameClass.toUpper();

    const auto readIdentification = [&] {
        r.CurMark = MidOneBased(data, 4, 1);
        r.CurNumber = MidOneBased(data, 5, 5);
        f.samplePos = MidOneBased(data, 11, 3);
        f.sampleId = WithoutBlanks(MidOneBased(data, 14, 13));
        r.CurFrameEnd = frame.right(1);
    };
    if (function == QLatin1String(":")) {
        if (frameClass == QLatin1String("A") || frameClass == QLatin1String("D")) {
            f.content = HitachiFrame::Content::Results;
            if (!HasField(data, 44, f, QStringLiteral("result count")))
                return;
            readIdentification();
            ReadResults(data, {42, 3, 45, 10, 3, false, AlarmRules::Hit902}, f);
        } else if (frameClass == QLatin1String("G")) {
            ReadCalibration(data, {5, 3, 8, 9, 10, SdValue::EightAfterStandards}, f);
        }
    } else if (function == QLatin1String(";")) {
        f.content = HitachiFrame::Content::Inquiry;
        if (!HasField(data, 26, f, QStringLiteral("sample id")))
            return;
        readIdentification();
    }
}

void ParseHit912Frame(const QString& frame, HitachiFrame& f)
{
    Begin(f);
    ReadFunctionAndClass(frame, f);
    HitachiFrameRecord& r = f.record;
    const QString data = FramePayload(frame);
    const QString function = r.CurFunction;
    const QString frameClass = r.CurFrameClass.toUpper();

    const auto readIdentification = [&] {
        r.CurFlag1 = MidOneBased(data, 4, 1);
        r.CurNumber = MidOneBased(data, 5, 5);
        f.sampleDisc = MidOneBased(data, 10, 1);
        f.samplePos = MidOneBased(data, 11, 2);
        r.CurFlag2 = MidOneBased(data, 13, 1);
        f.sampleId = WithoutBlanks(MidOneBased(data, 14, 13));
        r.CurFrameEnd = frame.right(1);
    };
    if (function == QLatin1String(":")) {
        if (frameClass == QLatin1String("A") || frameClass == QLatin1String("B") ||
            frameClass == QLatin1String("C") || frameClass == QLatin1String("D")) {
            f.content = HitachiFrame::Content::Results;
            if (!HasField(data, 49, f, QStringLiteral("result count")))
                return;
            readIdentification();
            ReadResults(data, {48, 2, 50, 9, 2, false, AlarmRules::Hit902}, f);
        } else if (frameClass == QLatin1String("G")) {
            ReadCalibration(data, {11, 2, 13, 14, 15, SdValue::YThenSeven}, f);
        }
    } else if (function == QLatin1String(";")) {
        f.content = HitachiFrame::Content::Inquiry;
        if (!HasField(data, 26, f, QStringLiteral("sample id")))
            return;
        readIdentification();
        r.CurDate = MidOneBased(data, 32, 6);
        r.CurTime = MidOneBased(data, 38, 4);
    }
}

} // namespace Quorlix
