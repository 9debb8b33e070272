// libFuzzer target for the ASTM record parsers: the input, as Latin-1 text, is a DSX message
// (records joined with CR) and each of its lines an Indiko record. Whatever arrives, the parsers
// keep their bounds, and the answer built from a parsed message has one record per patient and
// order between its header and terminator.
#include "drivers/astm/DsxMessage.h"
#include "drivers/astm/IndikoRecords.h"

#include <cstdint>
#include <cstdlib>

using namespace Quorlix;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), qsizetype(size));

    const Dsx::DsxMessage m = Dsx::ParseDsxMessage(text);
    Check(m.header.isEmpty() || m.header.size() == 14);
    Check(m.terminator.isEmpty() || m.terminator.size() == 3);
    Check(m.queryIds.size() <= Dsx::MaxQueryIds);
    Check(!m.kind.isEmpty() || text.contains(QChar(0x0D)));
    qsizetype records = 2;
    for (const Astm::Patient& p : m.patients)
        records += 1 + p.orders.Count();
    const QStringList answer =
        Dsx::BuildDsxAnswer(m.patients, m.header, m.terminator, QStringLiteral("HOST"));
    Check(answer.size() == records);
    Check(answer.front().startsWith(QLatin1Char('H')) && answer.back().startsWith(QLatin1Char('L')));

    for (const QString& line : text.split(QChar(0x0D))) {
        const QDateTime t = Indiko::ParseIndikoHeader(line);
        Check(!t.isValid() || t.time().second() == 0);
        const Indiko::IndikoQuery q = Indiko::ParseIndikoQuery(line);
        // A component delimiter survives only escaped (&S&) in the record.
        Check(line.contains(QLatin1Char('&')) ||
              (!q.sampleId.contains(QLatin1Char('^')) && !q.tests.contains(QLatin1Char('^'))));
        const Indiko::IndikoOrder o = Indiko::ParseIndikoOrder(line);
        Check(!o.sampleId.contains(QLatin1Char('|')));
        Indiko::ParseIndikoResult(line);
        Indiko::ParseIndikoComment(line);
        Indiko::IndikoOrderRequest request{
            q.sampleId, q.tests == QLatin1String("ALL"), {q.tests}, QStringLiteral("1")};
        for (const bool multi : {false, true}) {
            const QStringList orders = Indiko::IndikoOrderRecords(request, multi);
            Check(!orders.isEmpty());
            for (const QString& order : orders)
                Check(order.isEmpty() || order.count(QLatin1Char('|')) >= 25);
        }
    }
    return 0;
}
