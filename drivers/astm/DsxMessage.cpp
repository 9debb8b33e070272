#include "DsxMessage.h"

#include "core/FrameText.h"

namespace Quorlix::Dsx {

namespace {

const QString HeaderStart = QStringLiteral("H|\\^&");
const QString FixedStamp = QStringLiteral("20030821195400");

// The first n fields, padded with empty ones.
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
    const QStringList received = text.mid(qMax<qsizetype>(0, start)).split(Cr);
    // The header declares the delimiters of the message; its records are read in the usual ones.
    const Astm::Delimiters declared = Astm::Delimiters::ofHeader(received.front());
    QStringList usual;
    for (const QString& line : received)
        usual << Astm::UsualDelimiters(line, declared);
    const QList<QStringView> lines(usual.cbegin(), usual.cend());
    m.kind = lines.size() < 2 ? QStringLiteral("?") : lines[1].left(1).toString();
    const bool results = m.kind == QLatin1String("P");
    const bool query = m.kind == QLatin1String("Q");

    for (const QStringView line : lines) {
        if (line.isEmpty() || line == QStringView(&Lf, 1))
            continue;
        // Fields as views; only the ones kept become texts.
        const QList<QStringView> f = line.split(QLatin1Char('|'));
        const auto field = [&f](qsizetype n) { return n < f.size() ? f[n].toString() : QString(); };
        const auto value = [&f](qsizetype n) { return n < f.size() ? Astm::AstmUnescaped(f[n]) : QString(); };
        const auto fields = [&f](qsizetype n) {
            QStringList out(n);
            for (qsizetype i = 0; i < n && i < f.size(); ++i)
                out[i] = f[i].toString();
            return out;
        };
        const QStringView type = f[0];
        if (type == QLatin1String("H")) {
            m.header = fields(14);
        } else if (type == QLatin1String("L")) {
            m.terminator = fields(3);
        } else if (query && type == QLatin1String("Q")) {
            if (m.queryIds.size() < MaxQueryIds)
                m.queryIds << value(2);
            else
                ++m.refusedQueryIds;
        } else if (results && type == QLatin1String("P")) {
            m.patients.Add({{}, field(0), field(1), value(2), value(3), {}, {}, {}, {}, {}});
        } else if (results && type == QLatin1String("O")) {
            if (m.patients.isEmpty()) {
                m.problems << QStringLiteral("order without a patient before it, not used: ") +
                                  line.toString();
                continue;
            }
            m.patients.last().orders.Add({{}, field(0), field(1), value(2), value(3), field(4)});
        } else if (results && type == QLatin1String("R")) {
            if (m.patients.isEmpty() || m.patients.last().orders.isEmpty()) {
                m.problems << QStringLiteral("result without an order before it, not stored: ") +
                                  line.toString();
                continue;
            }
            Astm::Result r;
            r.RecordType = field(0);
            r.SequenceNr = field(1);
            r.TestID = field(2);
            r.Result = value(3);
            r.Units = field(4);
            r.RefRanges = field(5);
            r.ResultFlags = field(6);
            r.ResultStatus = field(8);
            r.Datum = field(12);
            r.AnalyzerID = field(13);
            m.patients.last().orders.last().results.Add(std::move(r));
        } else if (results || query) {
            m.problems << QStringLiteral("record not used: ") + line.toString();
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
