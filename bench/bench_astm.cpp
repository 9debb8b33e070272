// Benchmarks of the ASTM instruments:
//   decoding      MB/s of framed ASTM input (messages of H, P, O, 20 R and L in checksummed
//                 frames, arriving in pieces of 4 KB) through the E1381 link and the record
//                 parser, no database;
//   order answer  an Indiko query message (ENQ, H, Q, L, EOT) answered on the benchmark database of
//                 100,000 open requests, every frame of the answer acknowledged at once: the time
//                 from the first character of the query to the answer's EOT, pauses excluded (the
//                 line only records them).

#include "BenchHost.h"
#include "core/FrameText.h"
#include "drivers/astm/DsxMessage.h"
#include "drivers/astm/E1381Frame.h"
#include "drivers/astm/E1381Link.h"
#include "drivers/astm/IndikoDriver.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <vector>

using namespace Quorlix;

namespace {

QString DatabasePath()
{
    return qEnvironmentVariable("QUORLIX_BENCH_DB", QStringLiteral("/tmp/quorlix-bench.db"));
}

// One result message as an instrument sends it: ENQ, H, P, O, 20 R and L, one frame each, EOT.
QString ResultMessage(int sample)
{
    const QString id = QStringLiteral("S%1").arg(sample, 7, 10, QLatin1Char('0'));
    QStringList records{QStringLiteral("H|\\^&|||DSX^1|||||LIMS||P|1|20260105093000"),
                        QStringLiteral("P|1|7|") + id,
                        QStringLiteral("O|1|") + id + QStringLiteral("||^^^ALL")};
    for (int r = 1; r <= 20; ++r)
        records << QStringLiteral("R|%1|^^^T%1|%2|mg/dl|10 to 200|N||F||||20260105093000|DSX1")
                       .arg(r)
                       .arg(10.0 + r * 1.5, 0, 'f', 1);
    records << QStringLiteral("L|1|N");
    return Enq + BuildE1381Message(records, false).join(QString()) + Eot;
}

void BM_AstmDecoding(benchmark::State& state)
{
    QString input;
    for (int m = 0; m < 200; ++m)
        input += ResultMessage(m);
    constexpr qsizetype Piece = 4096;
    qsizetype values = 0;
    for (auto _ : state) {
        E1381Link link;
        QStringList records;
        for (qsizetype at = 0; at < input.size(); at += Piece) {
            for (const E1381Action& a : link.receive(QStringView(input).mid(at, Piece))) {
                if (a.kind == E1381Action::Kind::Record) {
                    records << a.text;
                } else if (a.kind == E1381Action::Kind::MessageEnded) {
                    const Dsx::DsxMessage message = Dsx::ParseDsxMessage(records.join(Cr));
                    values += message.patients.Item(1)->orders.Item(1)->results.Count();
                    records.clear();
                }
            }
        }
    }
    if (values != qsizetype(state.iterations()) * 200 * 20)
        state.SkipWithError("not every result was decoded");
    state.SetBytesProcessed(qint64(state.iterations()) * input.size());
}

// An Indiko host over the benchmark database; IND1 has a test code for each of the 48 parameters.
struct IndikoHost
{
    std::unique_ptr<Bench::BenchHost> host;
    std::unique_ptr<IndikoDriver> driver;

    IndikoHost()
    {
        // The shared benchmark database as every benchmark expects it, then this analyzer's codes.
        if (const QString error = Bench::EnsureBenchDatabase(DatabasePath(), QStringLiteral("HIT911"));
            !error.isEmpty())
            qFatal("%s", qPrintable(error));
        host =
            std::make_unique<Bench::BenchHost>(DatabasePath(), QStringLiteral("IND1"), QStringLiteral("IND"));
        Database& db = host->database;
        db.run(QStringLiteral("DELETE FROM param2channel WHERE analyzer_id = 'IND1'"));
        for (int p = 1; p <= 48; ++p)
            db.run(
                QStringLiteral("INSERT INTO param2channel (parameter_id, analyzer_id, channel_id, testiddsx) "
                               "VALUES (?, 'IND1', ?, ?)"),
                {p, p, QStringLiteral("T%1").arg(p)});
        driver = std::make_unique<IndikoDriver>(host->services());
    }
};

QString Framed(int number, const QString& record)
{
    return BuildE1381Frame(number, record + Cr, Etx);
}

void BM_IndikoOrderAnswer(benchmark::State& state)
{
    static IndikoHost indiko;
    IndikoDriver& driver = *indiko.driver;
    int i = 0;
    std::vector<double> micros;
    for (auto _ : state) {
        const QString id = Bench::BenchSampleId(i++ * 7919);
        const auto start = std::chrono::steady_clock::now();
        driver.receive(Enq);
        driver.receive(
            Framed(1, QStringLiteral("H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|20260105093000")));
        driver.receive(Framed(2, QStringLiteral("Q|1|^") + id + QStringLiteral("||^^^ALL")));
        driver.receive(Framed(3, QStringLiteral("L|1|N")));
        driver.receive(Eot);
        // ENQ, H, P, O, L: each acknowledged; the last ACK gets EOT.
        for (int ack = 0; ack < 5; ++ack)
            driver.receive(Ack);
        micros.push_back(
            std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        if (!indiko.host->analyzerLine.takeSent().endsWith(Eot))
            state.SkipWithError("the answer did not end with EOT");
        state.ResumeTiming();
    }
    Bench::ReportLatencies(state, std::move(micros));
}

} // namespace

BENCHMARK(BM_AstmDecoding)->Unit(benchmark::kMillisecond)->Repetitions(3)->ReportAggregatesOnly(true);
BENCHMARK(BM_IndikoOrderAnswer)
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(2000)
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
