#include "support/QuorlixProcess.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

using Quorlix::Test::QuorlixProcess;

// A day's communication log recorded from the real quorlix serving quorlix-sim in each of its
// roles, replayed by quorlix-sim against a new quorlix on a copy of the same initial database:
// every answer comes again byte for byte, and a changed answer in the log is found and shown.
class TestReplayEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void replaysEqual_data();
    void replaysEqual();
    void changedAnswerIsShown();

private:
    struct Role
    {
        QStringList switches;
        QString analyzerScript;
        QString limsScript; // the LIMS host, for an instance behind a LIMS
    };
    struct Run
    {
        int exitCode = -1;
        QString output;
    };
    static QString Ini(const Role& role, const QString& folder);
    // Records the log of the role's script; the database as it was before is kept beside it.
    QString record(const Role& role);
    Run replay(const Role& role, const QString& log);

    QTemporaryDir m_dir;
    int m_runs = 0;
};

namespace {

const QString Scripts = QStringLiteral(QUORLIX_SCRIPTS "/");

} // namespace

QString TestReplayEndToEnd::Ini(const Role& role, const QString& folder)
{
    QString ini = "database=lab.db\ncontrolmask=QC????\nshowcalibchart=0\ncom1=" + folder + "/analyzer\n";
    if (!role.limsScript.isEmpty())
        ini += "com2=" + folder + "/lims\n";
    return ini;
}

QString TestReplayEndToEnd::record(const Role& role)
{
    const QString folder = m_dir.filePath(QString::number(++m_runs));
    QDir().mkpath(folder);
    QuorlixProcess q(Ini(role, folder));
    if (q.runToEnd({"--init-db", "--demo-data"}) != 0 ||
        !QFile::copy(q.folder() + "/lab.db", folder + "/initial.db"))
        return {};
    QProcess analyzer, lims;
    analyzer.start(QUORLIX_SIM, {"--pty", folder + "/analyzer", "--start-delay", "1500", "--timeout", "15000",
                                 Scripts + role.analyzerScript});
    if (!role.limsScript.isEmpty())
        lims.start(QUORLIX_SIM, {"--pty", folder + "/lims", "--timeout", "20000", Scripts + role.limsScript});
    QTest::qWait(500);
    if (!q.start(role.switches))
        return {};
    const bool ended =
        analyzer.waitForFinished(60000) && (role.limsScript.isEmpty() || lims.waitForFinished(60000));
    if (!ended || analyzer.exitCode() != 0 || lims.exitCode() != 0 || q.terminate() != 0) {
        qWarning().noquote() << analyzer.readAll() << lims.readAll() << q.logText();
        return {};
    }
    QFile log(folder + "/day_log.txt");
    log.open(QIODevice::WriteOnly);
    log.write(q.logText().toLatin1());
    return log.fileName();
}

TestReplayEndToEnd::Run TestReplayEndToEnd::replay(const Role& role, const QString& log)
{
    // The new instance's clock starts where the log does, as on the recorded day.
    QProcess startTime;
    startTime.start(QUORLIX_SIM, {"replay", log, "--start-time"});
    startTime.waitForFinished();
    const QString clockStart = QString::fromLatin1(startTime.readAllStandardOutput()).trimmed();

    const QString folder = m_dir.filePath(QString::number(++m_runs));
    QDir().mkpath(folder);
    QuorlixProcess q(Ini(role, folder));
    QFile::copy(QFileInfo(log).path() + "/initial.db", q.folder() + "/lab.db");
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    QStringList arguments{"replay",        log,    "--pty",   folder + "/analyzer",
                          "--start-delay", "1500", "--speed", "max"};
    if (!role.limsScript.isEmpty())
        arguments << "--lims-pty" << folder + "/lims";
    sim.start(QUORLIX_SIM, arguments);
    QTest::qWait(500);
    Run run;
    if (!q.start(QStringList{"--clock-start", clockStart} + role.switches))
        return run;
    sim.waitForFinished(120000);
    run.output = QString::fromLocal8Bit(sim.readAll());
    run.exitCode = sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1;
    if (run.exitCode != 0)
        run.output += "\n" + q.logText();
    return run;
}

void TestReplayEndToEnd::replaysEqual_data()
{
    QTest::addColumn<QStringList>("switches");
    QTest::addColumn<QString>("analyzerScript");
    QTest::addColumn<QString>("limsScript");
    const QStringList autoval{"/com=1", "/autoval=2"};
    QTest::newRow("Hitachi 911") << QStringList{"/id=HIT911", "/type=H911"} + autoval << "hit911.sim"
                                 << "";
    QTest::newRow("AU400") << QStringList{"/id=AU400", "/type=OAU400"} + autoval << "au400.sim"
                           << "";
    QTest::newRow("Indiko") << QStringList{"/id=IND1", "/type=IND", "/com=1"} << "indiko.sim"
                            << "";
    QTest::newRow("DSX") << QStringList{"/id=DSX1", "/type=DSX", "/com=1"} << "dsx.sim"
                         << "";
    QTest::newRow("ACT") << QStringList{"/id=ACT1", "/type=ACT", "/com=1"} << "act.sim"
                         << "";
    QTest::newRow("behind a LIMS") << QStringList{"/id=HIT902", "/type=H902", "/outtype=invH912", "/outcom=2",
                                                  "/outid=LIMS"} +
                                          autoval
                                   << "lims-analyzer.sim"
                                   << "lims-host.sim";
}

void TestReplayEndToEnd::replaysEqual()
{
    QFETCH(QStringList, switches);
    QFETCH(QString, analyzerScript);
    QFETCH(QString, limsScript);
    const Role role{switches, analyzerScript, limsScript};
    const QString log = record(role);
    QVERIFY(!log.isEmpty());
    const Run run = replay(role, log);
    QVERIFY2(run.exitCode == 0, qPrintable(run.output));
    QVERIFY2(
        run.output.contains(QRegularExpression("replay: played [1-9]\\d* frames, answers equal [1-9]\\d* .*"
                                               "answers different 0")),
        qPrintable(run.output));
}

void TestReplayEndToEnd::changedAnswerIsShown()
{
    const Role role{{"/id=HIT911", "/type=H911", "/com=1", "/autoval=2"}, "hit911.sim", ""};
    const QString log = record(role);
    QVERIFY(!log.isEmpty());
    // One character of the first answer frame changes.
    QFile file(log);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromLatin1(file.readAll()).split('\n');
    file.close();
    const qsizetype changed = lines.indexOf(QRegularExpression(".*  H->A\\{STX\\}.*"));
    QVERIFY(changed >= 0);
    const QString original = lines[changed].mid(lines[changed].indexOf("  H->A") + 6);
    const QString altered = QString(original).replace(5, 1, original.at(5) == '#' ? "$" : "#");
    lines[changed].replace(original, altered);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(lines.join('\n').toLatin1());
    file.close();

    const Run run = replay(role, log);
    QCOMPARE(run.exitCode, 1);
    const QRegularExpressionMatch shown =
        QRegularExpression("replay: line (\\d+) H->A differs\n  expected: (.*)\n  received: (.*)\n")
            .match(run.output);
    QVERIFY2(shown.hasMatch(), qPrintable(run.output));
    QVERIFY(shown.captured(1).toInt() >= 1 && shown.captured(1).toInt() <= changed + 1);
    QVERIFY2(shown.captured(2).contains(altered) && shown.captured(3).contains(original),
             qPrintable(run.output));
    QVERIFY2(run.output.contains("answers different 1"), qPrintable(run.output));
}

QTEST_GUILESS_MAIN(TestReplayEndToEnd)
#include "tst_replay_e2e.moc"
