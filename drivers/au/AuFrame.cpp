#include "AuFrame.h"

#include "core/FrameText.h"

namespace Quorlix {

namespace {

// Result and calibration blocks start after five characters that follow the sample id.
constexpr qsizetype FirstBlock = 40;
constexpr qsizetype LastIdPosition = 34;

// Result block: channel 2, value 6, flags 2.
constexpr qsizetype ResultWidth = 10;
// Calibration block: channel 2, standard number 1, four readings of 6, flags 2.
constexpr qsizetype StandardWidth = 29;
constexpr qsizetype ReadingWidth = 6;

QString Quoted(const QString& text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

bool IsBlank(const QString& text)
{
    return text.trimmed().isEmpty();
}

QString Decimal(QString text, AuDecimals decimals)
{
    if (decimals == AuDecimals::CommaToPoint)
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    return text;
}

std::optional<qint16> ReadChannel(const QString& field)
{
    const std::optional<qint16> channel = ReadInteger(field);
    if (!channel || *channel < 0)
        return std::nullopt;
    return channel;
}

// Reads the blocks of the area one after the other, each at its own offset. `read` turns one
// block into an entry and returns false (with a problem) when it cannot; blank blocks are
// padding. At most MaxResults entries are read; what does not fit and a cut-short last block are
// named in the problems.
template <typename Read>
void ReadBlocks(const QString& area, qsizetype width, const QString& who, AuFrame& f, Read read)
{
    const qsizetype complete = area.size() / width;
    int stored = 0;
    for (qsizetype k = 0; k < complete; ++k) {
        const QString block = area.mid(k * width, width);
        if (IsBlank(block))
            continue;
        if (stored == MaxResults) {
            qsizetype unread = 0;
            for (qsizetype j = k; j < complete; ++j)
                unread += IsBlank(area.mid(j * width, width)) ? 0 : 1;
            f.problems << QStringLiteral("%1: %2 more blocks after the %3th not read")
                              .arg(who)
                              .arg(unread)
                              .arg(MaxResults);
            break;
        }
        if (read(block, k + 1))
            ++stored;
    }
    const QString rest = area.mid(complete * width);
    if (!IsBlank(rest))
        f.problems << QStringLiteral("%1: block %2 cut short at the end of the frame: %3 not stored")
                          .arg(who)
                          .arg(complete + 1)
                          .arg(Quoted(rest));
}

void ReadResults(const QString& area, AuDecimals decimals, const QString& who, AuFrame& f)
{
    ReadBlocks(area, ResultWidth, who, f, [&](const QString& block, qsizetype number) {
        const QString channelField = block.left(2);
        const QString value = Decimal(block.mid(2, 6), decimals);
        const QString flags = block.mid(8, 2);
        const std::optional<qint16> channel = ReadChannel(channelField);
        if (!channel) {
            f.problems << QStringLiteral("%1: block %2 has the channel %3, which is not a channel number: "
                                         "value %4 flags %5 not stored")
                              .arg(who)
                              .arg(number)
                              .arg(Quoted(channelField), Quoted(value), Quoted(flags));
            return false;
        }
        ResultEntry& entry = f.results[static_cast<size_t>(f.resultCount++)];
        entry.ParameterId = 0;
        entry.Channel = *channel;
        entry.Value = value;
        entry.DataAlarm = flags;
        return true;
    });
}

void ReadCalibration(const QString& area, AuDecimals decimals, const QString& who, AuFrame& f)
{
    ReadBlocks(area, StandardWidth, who, f, [&](const QString& block, qsizetype number) {
        const QString channelField = block.left(2);
        const QString standardField = block.mid(2, 1);
        const std::optional<qint16> channel = ReadChannel(channelField);
        const std::optional<qint16> standard = ReadInteger(standardField);
        if (!channel || !standard || *standard < 1 || *standard > MaxStandards) {
            f.problems << QStringLiteral("%1: block %2 has the channel %3 and the standard %4; a channel "
                                         "number and a standard from 1 to %5 are needed: %6 not stored")
                              .arg(who)
                              .arg(number)
                              .arg(Quoted(channelField), Quoted(standardField))
                              .arg(MaxStandards)
                              .arg(Quoted(block));
            return false;
        }
        AuCalibrationEntry entry;
        entry.channel = *channel;
        entry.standardNo = *standard;
        for (qsizetype r = 0; r < 4; ++r)
            entry.readings[static_cast<size_t>(r)] =
                Decimal(block.mid(3 + r * ReadingWidth, ReadingWidth), decimals);
        entry.dataAlarm = block.mid(3 + 4 * ReadingWidth, 2);
        f.calibration << entry;
        return true;
    });
}

QString Describe(const AuFrame& f)
{
    switch (f.content) {
    case AuFrame::Content::Results:
        return QStringLiteral("results frame");
    case AuFrame::Content::Calibration:
        return QStringLiteral("calibration frame");
    case AuFrame::Content::OrderRequest:
        return QStringLiteral("order request");
    case AuFrame::Content::Other:
        break;
    }
    return QStringLiteral("frame");
}

} // namespace

AuFrame::Content AuContentOf(const QString& code)
{
    for (const char* results : {"D ", "d ", "DH", "dH", "DQ"})
        if (code == QLatin1String(results))
            return AuFrame::Content::Results;
    if (code == QLatin1String("DA"))
        return AuFrame::Content::Calibration;
    if (code == QLatin1String("R ") || code == QLatin1String("RH"))
        return AuFrame::Content::OrderRequest;
    return AuFrame::Content::Other;
}

AuFrame ParseAuFrame(const QString& frame, AuDecimals decimals)
{
    AuFrame f;
    const QString data = FramePayload(frame);
    f.code = MidOneBased(data, 2, 2);
    f.content = AuContentOf(f.code);
    if (f.content == AuFrame::Content::Other)
        return f;

    if (data.size() < LastIdPosition) {
        f.rejected = true;
        f.problems << QStringLiteral("%1 %2 cut short before the end of its sample id: frame not used")
                          .arg(Describe(f), Quoted(f.code));
        return f;
    }
    f.id.rackNo = MidOneBased(data, 4, 4);
    f.id.cupPos = MidOneBased(data, 8, 2);
    f.id.field1 = MidOneBased(data, 10, 1);
    f.id.field2 = MidOneBased(data, 11, 4);
    f.id.sampleId = MidOneBased(data, 15, 20);

    const QString who = QStringLiteral("%1 %2 of sample %3")
                            .arg(Describe(f), Quoted(f.code), Quoted(f.id.sampleId.trimmed()));
    const QString area = data.mid(FirstBlock - 1);
    if (f.content == AuFrame::Content::Results)
        ReadResults(area, decimals, who, f);
    else if (f.content == AuFrame::Content::Calibration)
        ReadCalibration(area, decimals, who, f);
    return f;
}

bool WantsAbsorbanceCheck(const QString& flags)
{
    return flags.left(2).contains(QLatin1Char('!'));
}

bool HasFlagLetter(const QString& flags, QChar letter)
{
    const QString trimmed = flags.trimmed();
    return (trimmed.size() == 1 && trimmed.at(0) == letter) || flags.startsWith(letter) ||
           flags.endsWith(letter);
}

} // namespace Quorlix
