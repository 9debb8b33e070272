#include "IndikoRecords.h"

#include "AstmRecords.h"
#include "core/Stamps.h"

namespace Quorlix::Indiko {

using Astm::AstmComponents;
using Astm::AstmField;
using Astm::AstmFields;
using Astm::AstmUnescaped;

namespace {

QString WithoutCarets(QString text)
{
    return text.remove(QLatin1Char('^'));
}

// A record of `count` fields, empty but for the ones given.
QString Record(int count, std::initializer_list<std::pair<int, QString>> fields)
{
    QStringList out(count);
    for (const auto& [n, text] : fields)
        out[n] = text;
    return out.join(QLatin1Char('|'));
}

} // namespace

QDateTime ParseIndikoHeader(const QString& record)
{
    const QString stamp = AstmField(AstmFields(record), 13);
    if (stamp.size() < 12)
        return {};
    for (qsizetype i = 0; i < 12; ++i) {
        if (!stamp.at(i).isDigit())
            return {};
    }
    // Seconds are dropped: results of one message share the minute.
    const QDate date(stamp.mid(0, 4).toInt(), stamp.mid(4, 2).toInt(), stamp.mid(6, 2).toInt());
    const QTime time(stamp.mid(8, 2).toInt(), stamp.mid(10, 2).toInt());
    return WallClock(date, time);
}

IndikoQuery ParseIndikoQuery(const QString& record)
{
    const QStringList fields = AstmFields(record);
    return {AstmUnescaped(WithoutCarets(AstmField(fields, 2))),
            AstmUnescaped(WithoutCarets(AstmField(fields, 4)))};
}

IndikoOrder ParseIndikoOrder(const QString& record)
{
    const QStringList fields = AstmFields(record);
    const QString specimen = AstmField(fields, 2);
    const QStringList parts = AstmComponents(specimen);
    IndikoOrder order;
    if (parts.size() == 4) {
        order.sampleId = AstmUnescaped(parts[0]);
        order.disc = AstmUnescaped(parts[2]);
        order.position = AstmUnescaped(parts[3]);
    } else {
        order.sampleId = AstmUnescaped(specimen);
        order.disc = QStringLiteral("0");
        order.position = QStringLiteral("0");
    }
    order.reportType = AstmUnescaped(WithoutCarets(AstmField(fields, 25)));
    return order;
}

IndikoResult ParseIndikoResult(const QString& record)
{
    const QStringList fields = AstmFields(record);
    return {AstmUnescaped(AstmComponents(AstmField(fields, 2)).value(3)),
            AstmUnescaped(AstmField(fields, 3))};
}

QString ParseIndikoComment(const QString& record)
{
    return AstmUnescaped(AstmField(AstmFields(record), 3));
}

QString IndikoHeaderRecord(const QDateTime& now)
{
    return QStringLiteral("H|\\^&|||1^quorlix^1.0|||||1^Indiko Basic^2.0||P|1|") +
           now.toString(QStringLiteral("yyyyMMddHHmmss"));
}

QString IndikoPatientRecord(const QString& surname, const QString& forename)
{
    const QString name = (surname + QLatin1Char(' ') + forename).left(25);
    return Record(34, {{0, QStringLiteral("P")},
                       {1, QStringLiteral("1")},
                       {2, Astm::AstmText(name)},
                       {5, Astm::AstmText(surname) + QLatin1Char('^') + Astm::AstmText(forename)}});
}

namespace {

QString OrderRecord(int sequence, const QString& sampleId, const QString& tests, const QString& specimenCode,
                    const QString& reportType)
{
    return Record(26, {{0, QStringLiteral("O")},
                       {1, QString::number(sequence)},
                       {2, Astm::AstmText(sampleId) + QStringLiteral("^0.0^0^0^")},
                       {4, tests},
                       {5, QStringLiteral("R")},
                       {11, QStringLiteral("N")},
                       {15, specimenCode},
                       {25, reportType}});
}

QString TestField(const QString& code)
{
    return QStringLiteral("^^^") + Astm::AstmText(code);
}

} // namespace

QStringList IndikoOrderRecords(const IndikoOrderRequest& request, bool multi)
{
    const QString& sid = request.sampleId;
    if (!request.allTests && !multi)
        return {QString()};
    if (request.tests.isEmpty() || !request.allTests)
        return {OrderRecord(1, sid, {}, request.specimenCode, QStringLiteral("X"))};
    const QString ordered = QStringLiteral("O");
    if (!multi) {
        QStringList fields;
        for (const QString& code : request.tests)
            fields << TestField(code);
        return {OrderRecord(1, sid, fields.join(QLatin1Char('\\')), request.specimenCode, ordered)};
    }
    QStringList records;
    int sequence = 0;
    for (const QString& code : request.tests)
        records << OrderRecord(++sequence, sid, TestField(code), request.specimenCode, ordered);
    return records;
}

QString IndikoCancelOrderRecord(const QString& sampleId)
{
    return Record(26, {{0, QStringLiteral("O")},
                       {1, QStringLiteral("1")},
                       {2, Astm::AstmText(sampleId) + QStringLiteral("^0.0^0^0^")},
                       {5, QStringLiteral("R")},
                       {12, QStringLiteral("N")},
                       {15, QStringLiteral("3")},
                       {25, QStringLiteral("X")}});
}

QString IndikoTerminatorRecord()
{
    return QStringLiteral("L|1|N");
}

} // namespace Quorlix::Indiko
