#include "LimsOrderFrame.h"

#include "core/FrameText.h"

namespace Quorlix {

namespace {

const QString TubeNotFound = QStringLiteral("*MESSAGE *TUBE NON TROUVE");

// The frame up to its ETX: the last text field runs to the end of the frame.
QString Body(const QString& frame)
{
    const qsizetype etx = frame.indexOf(Etx);
    return etx < 0 ? frame : frame.left(etx);
}

QList<int> Ordered(const QString& flags)
{
    QList<int> channels;
    for (qsizetype i = 0; i < flags.size(); ++i) {
        if (flags.at(i) == QLatin1Char('1'))
            channels << static_cast<int>(i + 1);
    }
    return channels;
}

// Two digits, nothing else.
int TwoDigits(const QString& text)
{
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    if (text.size() != 2 || !digit(text.at(0)) || !digit(text.at(1)))
        return -1;
    return text.toInt();
}

} // namespace

bool LimsOrderFrame::ordersTests() const
{
    return ReadNumber(selection).value >= 1;
}

QList<int> LimsOrderFrame::orderedChannels() const
{
    return Ordered(selection);
}

LimsOrderFrame ReadLimsOrder(const QString& frame)
{
    const QString body = Body(frame);
    LimsOrderFrame order;
    order.sampleId = MidOneBased(body, 14, 13).trimmed();
    order.selection = MidOneBased(body, 44, LimsOrderFrame::Channels);
    order.tubeNotFound = MidOneBased(body, 98, TubeNotFound.size()) == TubeNotFound;
    return order;
}

LimsOrderPatient ReadLimsOrderPatient(const QString& frame)
{
    const QString body = Body(frame);
    const QString flags = MidOneBased(body, 92, 6);
    struct Field
    {
        qsizetype position;
        qsizetype width;
    };
    static constexpr Field fields[6] = {{98, 30}, {128, 25}, {153, 20}, {173, 15}, {188, 10}, {198, 0}};
    QString values[6];
    for (int k = 0; k < 6; ++k) {
        if (MidOneBased(flags, k + 1, 1) != QLatin1String("1"))
            continue;
        const Field f = fields[k];
        QString value = MidOneBased(body, f.position, f.width > 0 ? f.width : body.size()).trimmed();
        // Names with quotes break the laboratory's own tools: the acute accent stands in.
        value.replace(QLatin1Char('\''), QChar(0x00B4));
        values[k] = value;
    }
    for (int k : {0, 1})
        values[k].replace(QLatin1Char(','), QLatin1Char(' '));
    return {values[0], values[1], values[2], values[3], values[4], values[5]};
}

CollectionDate ReadCollectionDate(const QString& frame)
{
    const QString body = Body(frame);
    const QString date = MidOneBased(body, 32, 6);
    const QString time = MidOneBased(body, 38, 4);
    CollectionDate collected;
    if (date.isEmpty() || date == QString(6, QLatin1Char(' ')))
        return collected;
    const QDate day(2000 + TwoDigits(date.mid(4, 2)), TwoDigits(date.left(2)), TwoDigits(date.mid(2, 2)));
    if (TwoDigits(date.mid(4, 2)) < 0 || !day.isValid()) {
        collected.error = QStringLiteral("collection date \"%1\" is not a date (month, day, year)").arg(date);
        return collected;
    }
    QTime at(0, 0);
    if (!time.isEmpty() && time != QString(4, QLatin1Char(' '))) {
        at = QTime(TwoDigits(time.left(2)), TwoDigits(time.mid(2, 2)));
        if (!at.isValid()) {
            collected.error = QStringLiteral("collection time \"%1\" is not a time (hour, minute)").arg(time);
            return collected;
        }
    }
    collected.moment = QDateTime(day, at);
    return collected;
}

QList<int> Mgc240OrderFrame::orderedChannels() const
{
    return Ordered(sampleInfo);
}

Mgc240OrderFrame ReadMgc240Order(const QString& frame)
{
    const QString body = Body(frame);
    Mgc240OrderFrame order;
    order.sampleId = MidOneBased(body, 14, 13).trimmed();
    order.sampleInfo = MidOneBased(body, 5, Mgc240OrderFrame::Channels);
    order.ordersTests = ReadNumber(MidOneBased(body, 44, 48)).value >= 1;
    return order;
}

} // namespace Quorlix
