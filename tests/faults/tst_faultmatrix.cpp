// The fault matrix: every analyzer kind under every fault that applies to it, each cell a short run
// of the real quorlix with its simulators on a database of its own. A cell passes when nothing was
// lost or doubled, nothing stored in part, the spool is empty, the quarantine holds what it should,
// and no Monitor line comes on every tick once all is quiet.
//
// The cells run in worker processes of this program (--worker), each with its own PostgreSQL
// server, several at a time (QUORLIX_MATRIX_JOBS, default 6). QUORLIX_FAULTS=full runs the full
// form (scripts/faults.sh); QUORLIX_MATRIX_CELLS=REGEX runs only the cells whose tag matches;
// --table prints the table of cells.
//
// In the short form a failed cell runs once more before it is judged (real processes and servers on
// a loaded machine miss a deadline now and then); its first failure is printed either way. The full
// form judges every first run.

#include "FaultMatrix.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

using namespace Quorlix::Test;

namespace {

const QString ResultMark = "matrix-result ";

bool Full()
{
    return qEnvironmentVariable("QUORLIX_FAULTS") == "full";
}

const MatrixCell* CellByTag(const QString& tag)
{
    for (const MatrixCell& cell : MatrixCells())
        if (cell.tag() == tag)
            return &cell;
    return nullptr;
}

QList<const MatrixCell*> ChosenCells()
{
    const QRegularExpression chosen(qEnvironmentVariable("QUORLIX_MATRIX_CELLS"));
    QList<const MatrixCell*> cells;
    for (const MatrixCell& cell : MatrixCells())
        if (chosen.match(cell.tag()).hasMatch())
            cells << &cell;
    return cells;
}

void Print(const QString& line)
{
    std::printf("%s\n", qPrintable(line));
    std::fflush(stdout);
}

// A worker: its own server; cell tags on standard input, one result line each on standard output.
int RunWorker()
{
    PgCluster pg;
    if (!pg.ok()) {
        Print("matrix-error the worker's PostgreSQL server did not start: " + pg.error());
        return 1;
    }
    const MatrixSize size = Full() ? FullForm() : ShortForm();
    for (std::string line; std::getline(std::cin, line);) {
        const QString tag = QString::fromStdString(line);
        const MatrixCell* cell = CellByTag(tag);
        QJsonObject result{{"tag", tag}};
        if (!cell) {
            result["problems"] = QJsonArray{"no such cell"};
        } else {
            const CellOutcome outcome = RunCell(pg, *cell, size);
            result["line"] = outcome.line;
            result["problems"] = QJsonArray::fromStringList(outcome.problems);
        }
        Print(ResultMark + QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Compact)));
    }
    return 0;
}

} // namespace

class TestFaultMatrix : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void matrix_data();
    void matrix();

private:
    QHash<QString, QJsonObject> m_results;
    QHash<QString, QString> m_firstFailures;
};

// Runs every chosen cell, several at a time; the rows of matrix() then judge them one by one.
void TestFaultMatrix::initTestCase()
{
    QList<const MatrixCell*> queue = ChosenCells();
    // The long cells first, so that none is left running alone at the end: those waiting for the
    // LIMS's ticks, then the AU's pauses and the outages.
    const auto cost = [](const MatrixCell* cell) {
        const SiteKind* kind = MatrixKind(cell->kind);
        return (cell->fault == Fault::LimsStopped ? 4 : 0) + (kind->outType == "invH912" ? 2 : 0) +
               (kind->role.startsWith("au") ? 1 : 0) +
               (cell->fault == Fault::DatabaseDownAtStart || cell->fault == Fault::DatabaseDownMidMessage
                    ? 1
                    : 0);
    };
    std::stable_sort(queue.begin(), queue.end(),
                     [&](const MatrixCell* a, const MatrixCell* b) { return cost(a) > cost(b); });
    const int wanted = qEnvironmentVariableIntValue("QUORLIX_MATRIX_JOBS");
    const int jobs = qBound(1, wanted > 0 ? wanted : 6, int(queue.size()));
    struct Worker
    {
        std::unique_ptr<QProcess> process;
        QByteArray pending;
        QString cell;
    };
    std::vector<Worker> workers(size_t(qMax(0, jobs)));
    QElapsedTimer clock;
    clock.start();
    const auto next = [&](Worker& w) {
        if (queue.isEmpty()) {
            w.cell.clear();
            w.process->closeWriteChannel();
            return;
        }
        w.cell = queue.takeFirst()->tag();
        w.process->write((w.cell + "\n").toUtf8());
    };
    for (Worker& w : workers) {
        w.process = std::make_unique<QProcess>();
        w.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        w.process->start(QCoreApplication::applicationFilePath(), {"--worker"});
        QVERIFY(w.process->waitForStarted(10000));
        next(w);
    }
    for (;;) {
        bool running = false;
        for (Worker& w : workers) {
            w.pending += w.process->readAllStandardOutput();
            for (qsizetype end = w.pending.indexOf('\n'); end >= 0; end = w.pending.indexOf('\n')) {
                const QString line = QString::fromUtf8(w.pending.left(end));
                w.pending.remove(0, end + 1);
                if (line.startsWith("matrix-error"))
                    Print(line);
                if (!line.startsWith(ResultMark))
                    continue;
                const QJsonObject result =
                    QJsonDocument::fromJson(line.mid(ResultMark.size()).toUtf8()).object();
                const QString tag = result["tag"].toString();
                const QJsonArray problems = result["problems"].toArray();
                const MatrixCell* cell = CellByTag(tag);
                if (!Full() && !problems.isEmpty() && cell && !KnownFailureOf(*cell) &&
                    !m_firstFailures.contains(tag)) {
                    QStringList text;
                    for (const QJsonValue& p : problems)
                        text << p.toString();
                    m_firstFailures.insert(tag, text.join("; "));
                    Print("matrix: " + tag + " failed, runs once more: " + m_firstFailures.value(tag));
                    queue.prepend(cell);
                    next(w);
                    continue;
                }
                m_results.insert(tag, result);
                Print(result["line"].toString());
                next(w);
            }
            running = running || w.process->state() != QProcess::NotRunning;
        }
        if (!running)
            break;
        QTest::qWait(200);
    }
    Print(QString("matrix: %1 cells in %2 s with %3 workers")
              .arg(m_results.size())
              .arg(clock.elapsed() / 1000)
              .arg(workers.size()));
}

void TestFaultMatrix::matrix_data()
{
    QTest::addColumn<QString>("cell");
    for (const MatrixCell* cell : ChosenCells())
        QTest::newRow(qPrintable(cell->tag())) << cell->tag();
}

void TestFaultMatrix::matrix()
{
    QFETCH(QString, cell);
    QVERIFY2(m_results.contains(cell), "the cell did not run (its worker ended)");
    const QJsonObject result = m_results.value(cell);
    QStringList problems;
    for (const QJsonValue& p : result["problems"].toArray())
        problems << p.toString();
    const KnownFailure* known = KnownFailureOf(*CellByTag(cell));
    if (known && !known->always && problems.isEmpty())
        QSKIP(qPrintable("a known failure that did not happen this time: " + known->reason));
    if (known)
        QEXPECT_FAIL("", qPrintable(known->reason), Abort);
    if (!problems.isEmpty() && m_firstFailures.contains(cell))
        problems.prepend("(the first run failed too: " + m_firstFailures.value(cell) + ")");
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join("\n")));
    if (m_firstFailures.contains(cell))
        qWarning("%s passed on its second run; the first failed: %s", qPrintable(cell),
                 qPrintable(m_firstFailures.value(cell)));
}

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    if (argc > 1 && QByteArray(argv[1]) == "--worker")
        return RunWorker();
    if (argc > 1 && QByteArray(argv[1]) == "--table") {
        std::printf("%s", qPrintable(MatrixTable()));
        return 0;
    }
    // All cells run within initTestCase: longer than QtTest allows one function by default.
    if (!qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT"))
        qputenv("QTEST_FUNCTION_TIMEOUT", "1800000");
    TestFaultMatrix test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_faultmatrix.moc"
