#include "DsxMessage.h"

#include "core/FrameText.h"

namespace Quorlix::Dsx {

using Astm::AstmField;
using Astm::AstmFields;

namespace {

const QString HeaderStart = QStringLiteral("H|\\^&");
const QString FixedStamp = QStringLiteral("20030821195400");

// The first n fields of a record, padded with empty ones.
QStringList FirstFields(const QStringList& fields, qsizetype n)
{
    QStringList out = fields.mid(0, n);
    while (out.size() < n)
        out << QString();
    return out;
}

QString Join(std::initializer_list<QString> fields)
{
    return QStringList(fields).join(QLatin1Char('|'));
}

} // namespace

DsxMessage ParseDsxMessage(const QString& text)
{
    DsxMessage m;
    const qsizetype start = text.indexOf(HeaderStart);
    const QStringList lines = (start < 0 ? text : text.mid(start)).split(Cr);
    m.kind = lines.size() < 2 ? QStringLiteral("?") : lines[1].left(1);

    for (const QString& line : lines) {
        if (line.isEmpty() || line == Lf)
            continue;
        const QStringList f = AstmFields(line);
        const QString type = f[0];
        if (type == QLatin1String("H")) {
            m.header = FirstFields(f, 14);
        } else if (type == QLatin1String("L")) {
            m.terminator = FirstFields(f, 3);
        } else if (m.kind == QLatin1String("Q") && type == QLatin1String("Q")) {
            if (m.queryIds.size() < MaxQueryIds)
                m.queryIds << AstmField(f, 2);
            else
                ++m.refusedQueryIds;
        } else if (m.kind == QLatin1String("P") && type == QLatin1String("P")) {
            m.patients.Add({{}, f[0], AstmField(f, 1), AstmField(f, 2), AstmField(f, 3), {}, {}, {}, {}, {}});
        } else if (m.kind == QLatin1String("P") && type == QLatin1String("O")) {
            if (m.patients.isEmpty()) {
                m.problems << QStringLiteral("order without a patient before it, not used: ") + line;
                continue;
            }
            m.patients.last().orders.Add(
                {{}, f[0], AstmField(f, 1), AstmField(f, 2), AstmField(f, 3), AstmField(f, 4)});
        } else if (m.kind == QLatin1String("P") && type == QLatin1String("R")) {
            if (m.patients.isEmpty() || m.patients.last().orders.isEmpty()) {
                m.problems << QStringLiteral("result without an order before it, not stored: ") + line;
                continue;
            }
            Astm::Result r;
            r.RecordType = f[0];
            r.SequenceNr = AstmField(f, 1);
            r.TestID = AstmField(f, 2);
            r.Result = AstmField(f, 3);
            r.Units = AstmField(f, 4);
            r.RefRanges = AstmField(f, 5);
            r.ResultFlags = AstmField(f, 6);
            r.ResultStatus = AstmField(f, 8);
            r.Datum = AstmField(f, 12);
            r.AnalyzerID = AstmField(f, 13);
            m.patients.last().orders.last().results.Add(r);
        } else if (m.kind == QLatin1String("P") || m.kind == QLatin1String("Q")) {
            m.problems << QStringLiteral("record not used: ") + line;
        }
    }
    return m;
}

QStringList BuildDsxAnswer(const Astm::Patients& patients, const QStringList& header,
                           const QStringList& terminator, const QString& computerName)
{
    QStringList h = FirstFields(header, 14);
    if (h[0].isEmpty()) {
        h[0] = QStringLiteral("H");
        h[1] = QStringLiteral("\\^&");
    }
    const QString querySender = h[4];
    h[4] = computerName;
    h[9] = querySender;

    QStringList records{h.join(QLatin1Char('|'))};
    for (const Astm::Patient& p : patients) {
        records << Join({p.RecordType,
                         p.SequenceNr,
                         p.PatID1,
                         p.SampleID,
                         p.PatID2,
                         p.PatName,
                         p.PatBirth,
                         {},
                         QStringLiteral("F"),
                         {},
                         {},
                         {},
                         {},
                         computerName});
        for (const Astm::Order& o : p.orders) {
            QStringList f(26);
            f[0] = o.RecordType;
            f[1] = o.SequenceNr;
            f[2] = o.SampleID;
            f[3] = o.InstrSampleID;
            f[4] = o.TestID;
            f[5] = QStringLiteral("R");
            f[6] = FixedStamp;
            f[14] = FixedStamp;
            f[15] = QStringLiteral("P");
            f[25] = QStringLiteral("O");
            records << f.join(QLatin1Char('|'));
        }
    }
    const QStringList t = FirstFields(terminator, 3);
    records << Join({t[0].isEmpty() ? QStringLiteral("L") : t[0], t[1].isEmpty() ? QStringLiteral("1") : t[1],
                     QStringLiteral("F")});
    return records;
}

} // namespace Quorlix::Dsx
