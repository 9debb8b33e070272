// The Hitachi receive handlers against a real database and the real store, on fake analyzer and
// LIMS lines. Frames are written field by field from the
// protocol's layout tables.
#include "HitachiFixture.h"
#include "comm/Dispatch.h"
#include "core/CommLog.h"
#include "drivers/DriverRegistry.h"
#include "drivers/hitachi/FrameBuffer.h"
#include "drivers/hitachi/HitachiDriver.h"
#include "drivers/hitachi/HitachiDrivers.h"
#include "store/CalibrationDialogs.h"
#include "store/Spool.h"
#include "support/DriverRig.h"

#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

using namespace Quorlix;
using Quorlix::Test::DriverRig;
using Quorlix::Test::TestDatabase;
using namespace Quorlix::Test::HitachiFixture;

namespace {

QString Zeros(int n)
{
    return QString(n, QLatin1Char('0'));
}

// Identification fields of the inquiry and results frames: the 911 left-aligns the id, the 902 and
// the 912 right-align it.
QString Id911(const QString& id)
{
    return Id911Fields((id + Blanks(13)).left(13));
}
QString Id902(const QString& id)
{
    return Id902Fields((Blanks(13) + id).right(13));
}
QString Id912(const QString& id)
{
    return Id912Fields((Blanks(13) + id).right(13));
}

QString Id(HitachiModel model, const QString& id)
{
    switch (model) {
    case HitachiModel::Hit911:
        return Id911(id);
    case HitachiModel::Hit902:
        return Id902(id);
    case HitachiModel::Hit912:
        return Id912(id);
    }
    return {};
}

// A results frame with the model's count width and blocks (channel, value of 6, alarm).
QString ResultsFrame(HitachiModel model, const QString& frameClass, const QString& id,
                     const QList<std::tuple<int, QString, QString>>& results)
{
    const int channelWidth = model == HitachiModel::Hit902 ? 3 : 2;
    const int countWidth = model == HitachiModel::Hit902 ? 3 : 2;
    QString blocks;
    for (const auto& [channel, value, alarm] : results) {
        blocks += QStringLiteral("%1").arg(channel, channelWidth) + value + alarm;
    }
    return Frame({QStringLiteral(":") + frameClass, Id(model, id),
                  QStringLiteral("%1").arg(results.size(), countWidth), blocks});
}

QString InquiryFrame(HitachiModel model, const QString& id, const QString& frameClass = QStringLiteral("A"))
{
    return Frame({QStringLiteral(";") + frameClass, Id(model, id)});
}

// A driver on fake lines and a fresh database, with a clock that moves only when told to.
class Rig
{
public:
    Rig(const QString& backend, HitachiModel model, int pauseMs = 0)
        : m_rig(backend, Start), m_model(model), m_pauseMs(pauseMs)
    {
        Settings& s = m_rig.settings;
        s.AnalyzerId = QStringLiteral("H1");
        s.AnalyzerType = model == HitachiModel::Hit911   ? QStringLiteral("H911")
                         : model == HitachiModel::Hit902 ? QStringLiteral("H902")
                                                         : QStringLiteral("H912");
        s.ControlMask = QStringLiteral("QC?");
        QObject::connect(&m_rig.log, &CommLog::windowLine, [this](const QString& line) { m_lines << line; });
        driver = std::make_unique<HitachiDriver>(m_rig.services(), model, false, pauseMs);
    }

    bool ok() const { return m_rig.tdb.ok(); }
    QString error() const { return m_rig.tdb.error(); }
    Settings& settings() { return m_rig.settings; }
    LinkState& link() { return m_rig.link; }
    DriverRig& base() { return m_rig; }
    TestDatabase& db() { return m_rig.tdb; }

    // The handler used when a LIMS side is configured, built on first use.
    HitachiDriver& withLims()
    {
        if (!m_withLims)
            m_withLims = std::make_unique<HitachiDriver>(m_rig.services(), m_model, true, m_pauseMs);
        return *m_withLims;
    }

    void exec(const QStringList& statements) { m_rig.exec(statements); }

    // The next frame the analyzer received, empty when none came.
    QString toAnalyzer() { return next(m_analyzerFrames, m_rig.analyzerLine); }
    QString toLims() { return next(m_limsFrames, m_rig.limsLine); }
    // Everything else the lines received.
    QByteArray quietAnalyzer() { return rest(m_analyzerFrames, m_rig.analyzerLine); }
    QByteArray quietLims() { return rest(m_limsFrames, m_rig.limsLine); }

    // Monitor lines since the last call.
    QStringList monitor()
    {
        QStringList out;
        for (const QString& line : std::as_const(m_lines)) {
            if (line.startsWith(QLatin1String("Monitor: ")))
                out << line.mid(9);
        }
        m_lines.clear();
        return out;
    }
    // Every log line since the last call.
    QStringList lines() { return std::exchange(m_lines, {}); }

    QString rows(const QString& sql) { return m_rig.tdb.rows(sql); }

    std::unique_ptr<HitachiDriver> driver;

private:
    static QString next(QStringList& frames, Test::FakeLine& line)
    {
        frames += line.takeFrames();
        return frames.isEmpty() ? QString() : frames.takeFirst();
    }
    static QByteArray rest(QStringList& frames, Test::FakeLine& line)
    {
        frames += line.takeFrames();
        return std::exchange(frames, {}).join(QString()).toLatin1();
    }

    static inline const QDateTime Start{QDate(2024, 3, 5), QTime(10, 0)};
    DriverRig m_rig;
    HitachiModel m_model;
    int m_pauseMs;
    std::unique_ptr<HitachiDriver> m_withLims;
    QStringList m_analyzerFrames;
    QStringList m_limsFrames;
    QStringList m_lines;
};

// Parameters 1 to 4 on channels 1, 5, 7 and 37 of this analyzer; parameter 9 on channel 20 of
// another one only. Sample 12345 has orders for parameters 1 and 2; QC1 is a control.
const QStringList Setup{
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (1, 'H1', 1)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (2, 'H1', 5)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (3, 'H1', 7)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (4, 'H1', 37)",
    "INSERT INTO param2channel (parameter_id, analyzer_id, channel_id) VALUES (9, 'H2', 20)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('12345', 1)",
    "INSERT INTO request (sample_id, parameter_id) VALUES ('12345', 2)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC1', 1, 0, 100)",
    "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC1', 3, 0, 100)",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 1, 'H1')",
    "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 3, 'H1')",
    "INSERT INTO control_base (control_id, name) VALUES ('QC1', 'Level 1 control')",
};

const QString RawRows = QStringLiteral("SELECT sample_id, parameter_id, result, data_alarm FROM Raw_Results "
                                       "ORDER BY sample_id, parameter_id");

} // namespace

class TestHitachiDrivers : public QObject
{
    Q_OBJECT

private slots:
    void inquiryReplies_data();
    void inquiryReplies();
    void ordersFiledBetweenTwoInquiries_data();
    void ordersFiledBetweenTwoInquiries();
    void openControlsDeletedAfterSelection_data() { Test::AddBackendRows(); }
    void openControlsDeletedAfterSelection();
    void repeatRequest_data() { Test::AddBackendRows(); }
    void repeatRequest();
    void functionCharacters_data();
    void functionCharacters();
    void classRules_data();
    void classRules();
    void resultsReachTheStore_data();
    void resultsReachTheStore();
    void valuesThatAreNoNumbersLeaveOrdersOpen_data() { Test::AddBackendRows(); }
    void valuesThatAreNoNumbersLeaveOrdersOpen();
    void damagedFramesAreAnswered_data();
    void damagedFramesAreAnswered();
    void splitAtEveryPosition_data();
    void splitAtEveryPosition();
    void everyFrameOfAPieceIsAnswered_data();
    void everyFrameOfAPieceIsAnswered();
    void limsRelay_data();
    void limsRelay();
    void emptyInquiryGoesToTheLims_data();
    void emptyInquiryGoesToTheLims();
    void classFIsAnsweredUnlogged();
    void pauseBeforeReply();
    void unendingInputIsBounded();
    void noiseBeforeTheFrameIsDropped();
    void unmappedWhileTheDatabaseIsDown_data();
    void unmappedWhileTheDatabaseIsDown();
    void sameFrameAgainByWhatItCarries_data();
    void sameFrameAgainByWhatItCarries();
    void heldCalibrationLeavesNoFingerprint_data() { Test::AddBackendRows(); }
    void heldCalibrationLeavesNoFingerprint();
    void sameFrameAgainIsStoredOnce_data() { Test::AddBackendRows(); }
    void sameFrameAgainIsStoredOnce();
    void registeredEntries_data();
    void registeredEntries();
};

void TestHitachiDrivers::inquiryReplies_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("ise");
    QTest::addColumn<QStringList>("setup");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("reply");

    const QString sel911 = QStringLiteral("1") + Zeros(3) + QStringLiteral("1") + Zeros(43);
    const QString reply911 = QStringLiteral(";A ") + QStringLiteral("  1") + QStringLiteral("1") +
                             QStringLiteral(" 1") + Blanks(8) + QStringLiteral("12345") +
                             QStringLiteral("   3") + QStringLiteral(" ") + QStringLiteral("031992") +
                             QStringLiteral("1147") + QStringLiteral("48");
    const QString reply902 =
        QStringLiteral(";A ") + QStringLiteral("00012") + QStringLiteral(" ") + QStringLiteral("007");
    const QString reply912 = QStringLiteral(";") + QStringLiteral("A") + QStringLiteral("F") +
                             QStringLiteral("00034") + QStringLiteral("2") + QStringLiteral("15") +
                             QStringLiteral("G");
    const QStringList patient{
        "INSERT INTO patients (p_id, si_id, surname, forename) VALUES (7, 'SI-77', 'Meier', 'Anna')",
        "INSERT INTO customer (cust_id, cust_name) VALUES ('C7', 'Ward 7')",
        "INSERT INTO sample_base (sample_id, p_id, cust_id, collector, coll_dat) "
        "VALUES ('12345', 7, 'C7', 'Nurse', '2024-03-04 08:15:00')",
    };

    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s 911 ids aligned, channels 1 and 5", n.data())
            << b << int(HitachiModel::Hit911) << "1" << QStringList{}
            << InquiryFrame(HitachiModel::Hit911, "12345") << reply911 + sel911 + "00000";
        QTest::addRow("%s 911 control from its armed definitions", n.data())
            << b << int(HitachiModel::Hit911) << "" << QStringList{}
            << InquiryFrame(HitachiModel::Hit911, "QC1")
            << ";A " + QStringLiteral("  1") + "1" + " 1" + Blanks(10) + "QC1" + "   3" + " " + "031992" +
                   "1147" + "48" + "1" + Zeros(5) + "1" + Zeros(41) + "00000";
        QTest::addRow("%s 902 channels 1, 5 and 37", n.data())
            << b << int(HitachiModel::Hit902) << ""
            << QStringList{"INSERT INTO request (sample_id, parameter_id) VALUES ('12345', 4)"}
            << InquiryFrame(HitachiModel::Hit902, "12345")
            << reply902 + Blanks(8) + "12345" + Blanks(15) + " 37" + "1000100000" + Zeros(26) + "1" + "00000";
        QTest::addRow("%s 902 ISE adds a character, reply still says 37", n.data())
            << b << int(HitachiModel::Hit902) << "1" << QStringList{}
            << InquiryFrame(HitachiModel::Hit902, "12345")
            << reply902 + Blanks(8) + "12345" + Blanks(15) + " 37" + "10001" + Zeros(32) + "0" + "00000";
        QTest::addRow("%s 902 blank id gets 37 zeros", n.data())
            << b << int(HitachiModel::Hit902) << "1" << QStringList{}
            << InquiryFrame(HitachiModel::Hit902, "")
            << reply902 + Blanks(13) + Blanks(15) + " 37" + Zeros(37) + "00000";
        QTest::addRow("%s 912 patient fields and collection date", n.data())
            << b << int(HitachiModel::Hit912) << "" << patient << InquiryFrame(HitachiModel::Hit912, "12345")
            << reply912 + Blanks(8) + "12345" + Blanks(4) + " " + "0304240815" + "48" + "10001" + Zeros(43) +
                   "111111" + "SI-77" + Blanks(25) + "Meier" + Blanks(20) + "Anna" + Blanks(16) + "Ward 7" +
                   Blanks(9) + "C7" + Blanks(8) + "Nurse" + Blanks(15);
        QTest::addRow("%s 912 control name in the first field, ISE", n.data())
            << b << int(HitachiModel::Hit912) << "1" << QStringList{}
            << InquiryFrame(HitachiModel::Hit912, "QC1")
            << reply912 + Blanks(10) + "QC1" + Blanks(4) + " " + Blanks(10) + "48" + "1" + Zeros(5) + "1" +
                   Zeros(41) + "0" + "111111" + "Level 1 control" + Blanks(15) + Blanks(25) + Blanks(20) +
                   Blanks(15) + Blanks(10) + Blanks(20);
    }
}

void TestHitachiDrivers::inquiryReplies()
{
    QFETCH(QString, backend);
    QFETCH(int, model);
    QFETCH(QString, ise);
    QFETCH(QStringList, setup);
    QFETCH(QString, frame);
    QFETCH(QString, reply);
    Rig rig(backend, HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.settings().IseSetting = ise;
    rig.exec(Setup + setup);

    rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + reply + ETX);
    QCOMPARE(rig.monitor(), QStringList{"spe"});
    QCOMPARE(rig.driver->reply(), reply);
    QCOMPARE(rig.base().stats.orderReplies.count, 1u);
}

void TestHitachiDrivers::ordersFiledBetweenTwoInquiries_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("filed");
    const QStringList order{"INSERT INTO request (sample_id, parameter_id) VALUES ('12345', 4)"};
    const QStringList control{
        "INSERT INTO control_def (control_id, parameter_id, range_low, range_high) VALUES ('QC1', 4, 0, 100)",
        "INSERT INTO control_block (control_id, parameter_id, analyzer_id) VALUES ('QC1', 4, 'H1')"};
    for (const QString& b : Test::Backends()) {
        for (const auto& [model, name] :
             {std::pair(HitachiModel::Hit911, "911"), std::pair(HitachiModel::Hit902, "902"),
              std::pair(HitachiModel::Hit912, "912")}) {
            QTest::addRow("%s %s order", qPrintable(b), name) << b << int(model) << "12345" << order;
            QTest::addRow("%s %s control", qPrintable(b), name) << b << int(model) << "QC1" << control;
        }
    }
}

// An order another program files between two inquiries is in the second answer, exactly as a
// freshly started driver would answer.
void TestHitachiDrivers::ordersFiledBetweenTwoInquiries()
{
    QFETCH(QString, backend);
    QFETCH(int, model);
    QFETCH(QString, id);
    QFETCH(QStringList, filed);
    const QString inquiry = InquiryFrame(HitachiModel(model), id);
    Rig rig(backend, HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.base().deliver(*rig.driver, inquiry);
    const QString before = rig.toAnalyzer();
    for (const QString& sql : filed)
        rig.db().execElsewhere(sql);
    rig.base().deliver(*rig.driver, inquiry);
    const QString after = rig.toAnalyzer();

    Rig fresh(backend, HitachiModel(model));
    fresh.exec(Setup + filed);
    fresh.base().deliver(*fresh.driver, inquiry);
    QCOMPARE(after, fresh.toAnalyzer());
    QVERIFY(after != before);
}

void TestHitachiDrivers::openControlsDeletedAfterSelection()
{
    QFETCH(QString, backend);
    Rig rig(backend, HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.exec({"INSERT INTO control_results (control_id, parameter_id, analyzer_id) VALUES ('QC1', 3, 'H1')",
              "INSERT INTO control_results (control_id, parameter_id, analyzer_id, result) VALUES ('QC1', 1, "
              "'H1', 5)"});
    rig.base().deliver(*rig.driver, InquiryFrame(HitachiModel::Hit911, "QC1"));
    // The open row selects channel 7 only, and is gone afterwards; the finished row stays.
    QCOMPARE(rig.toAnalyzer().mid(40, 48), Zeros(6) + "1" + Zeros(41));
    QCOMPARE(rig.rows("SELECT parameter_id, result FROM control_results"), QStringLiteral("1|5"));
}

void TestHitachiDrivers::repeatRequest()
{
    QFETCH(QString, backend);
    Rig rig(backend, HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    const QString repeat = Frame({"?"});

    // After a real-time routine result the order reply (no tests) is repeated.
    rig.base().deliver(*rig.driver, ResultsFrame(HitachiModel::Hit911, "A", "12345", {{1, " 72.38", " "}}));
    const QString orderReply = rig.toAnalyzer();
    QCOMPARE(orderReply.size(), 94);
    QCOMPARE(orderReply.mid(40, 48), Zeros(48));
    rig.base().deliver(*rig.driver, repeat);
    QCOMPARE(rig.toAnalyzer(), orderReply);
    rig.monitor();
    rig.base().deliver(*rig.driver, repeat);
    QCOMPARE(rig.toAnalyzer(), orderReply);
    QCOMPARE(rig.monitor(), QStringList{"rep"});

    // A piece without ETX resets the reply: the repeat that follows repeats ">".
    rig.base().deliver(*rig.driver, STX + ":A 12");
    QCOMPARE(rig.quietAnalyzer(), QByteArray());
    rig.base().deliver(*rig.driver, repeat);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
}

void TestHitachiDrivers::functionCharacters_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("withLims");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QStringList>("monitor");
    QTest::newRow("911 >") << int(HitachiModel::Hit911) << false << ">" << QStringList{};
    QTest::newRow("911 @") << int(HitachiModel::Hit911) << false << "@" << QStringList{"sus"};
    QTest::newRow("911 1") << int(HitachiModel::Hit911) << false << "1" << QStringList{"fr1"};
    QTest::newRow("911 2") << int(HitachiModel::Hit911) << false << "2" << QStringList{"fr2"};
    QTest::newRow("911 <") << int(HitachiModel::Hit911) << false << "<" << QStringList{"res"};
    QTest::newRow("911 3 unknown") << int(HitachiModel::Hit911) << false << "3" << QStringList{};
    QTest::newRow("911 other") << int(HitachiModel::Hit911) << false << "x" << QStringList{};
    QTest::newRow("911 with LIMS @") << int(HitachiModel::Hit911) << true << "@" << QStringList{"sus"};
    QTest::newRow("902 <") << int(HitachiModel::Hit902) << false << "<" << QStringList{"res"};
    QTest::newRow("902 3 unknown") << int(HitachiModel::Hit902) << false << "3" << QStringList{};
    QTest::newRow("912 3") << int(HitachiModel::Hit912) << false << "3" << QStringList{"fr3"};
    QTest::newRow("912 1") << int(HitachiModel::Hit912) << false << "1" << QStringList{"fr1"};
    QTest::newRow("912 ?") << int(HitachiModel::Hit912) << false << "?" << QStringList{"rep"};
}

void TestHitachiDrivers::functionCharacters()
{
    QFETCH(int, model);
    QFETCH(bool, withLims);
    QFETCH(QString, function);
    Rig rig(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.link().limsOnline = false;
    const QString frame = Frame({function, QStringLiteral("A")});
    if (withLims)
        rig.base().deliver(rig.withLims(), frame);
    else
        rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QTEST(rig.monitor(), "monitor");
}

void TestHitachiDrivers::classRules_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("withLims");
    QTest::addColumn<QString>("frameClass");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QStringList>("monitor");
    QTest::addColumn<int>("replyLength"); // 1: ">"
    QTest::addColumn<QString>("stored");  // table that gained rows, "" for none

    const auto row = [](const char* name, HitachiModel m, bool lims, const char* cls, const char* id,
                        QStringList monitor, int length, const char* table) {
        QTest::newRow(name) << int(m) << lims << QString::fromLatin1(cls) << QString::fromLatin1(id)
                            << monitor << length << QString::fromLatin1(table);
    };
    const auto H911 = HitachiModel::Hit911;
    const auto H902 = HitachiModel::Hit902;
    const auto H912 = HitachiModel::Hit912;
    row("911 a control", H911, false, "a", "QC1", {"received control : batchmode"}, 1, "control_results");
    row("911 A control gets 48 zeros", H911, false, "A", "QC1", {"received control : realmode"}, 92,
        "control_results");
    row("911 b sample", H911, false, "b", "12345", {"received sample : batchmode"}, 1, "Raw_Results");
    row("911 B sample", H911, false, "B", "12345", {"received sample : realmode"}, 92, "Raw_Results");
    row("911 g sample", H911, false, "g", "12345", {"received STAT Sample : batchmode"}, 1, "Raw_Results");
    row("911 g control", H911, false, "g", "QC1", {"received STAT Control : batchmode"}, 1,
        "control_results");
    row("911 G sample", H911, false, "G", "12345", {"received STAT Sample"}, 1, "Raw_Results");
    row("911 unknown class", H911, false, "Z", "12345", {}, 1, "");
    row("911 with LIMS G", H911, true, "G", "12345", {"received stat Sample"}, 1, "Raw_Results");
    row("911 with LIMS g not served", H911, true, "g", "12345", {}, 1, "");
    row("911 with LIMS b not served", H911, true, "b", "12345", {}, 1, "");
    row("911 with LIMS A", H911, true, "A", "12345", {"received sample : realmode"}, 92, "Raw_Results");
    row("902 a", H902, false, "a", "12345", {"received sample : batchmode"}, 1, "Raw_Results");
    row("902 d control", H902, false, "d", "QC1", {"received stat Control"}, 1, "control_results");
    row("902 D parsed but not served", H902, false, "D", "12345", {}, 1, "");
    row("902 A gets 37 zeros", H902, false, "A", "12345", {"received sample : realmode"}, 85, "Raw_Results");
    row("902 with LIMS d", H902, true, "d", "12345", {"received stat Sample"}, 1, "Raw_Results");
    row("912 c", H912, false, "c", "12345", {"received sample : batchmode"}, 1, "Raw_Results");
    row("912 D", H912, false, "D", "12345", {"received STAT Sample"}, 1, "Raw_Results");
    row("912 d not served", H912, false, "d", "12345", {}, 1, "");
    row("912 C gets 48 zeros", H912, false, "C", "12345", {"received sample : realmode"}, 216, "Raw_Results");
}

void TestHitachiDrivers::classRules()
{
    QFETCH(int, model);
    QFETCH(bool, withLims);
    QFETCH(QString, frameClass);
    QFETCH(QString, id);
    QFETCH(int, replyLength);
    QFETCH(QString, stored);
    Rig rig(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    const QString frame =
        ResultsFrame(HitachiModel(model), frameClass, id, {{1, " 72.38", " "}, {5, "  1.50", " "}});
    if (withLims)
        rig.base().deliver(rig.withLims(), frame);
    else
        rig.base().deliver(*rig.driver, frame);
    const QString reply = rig.toAnalyzer();
    QCOMPARE(reply.size(), replyLength + 2);
    if (replyLength > 1) {
        const int channels = model == int(HitachiModel::Hit902) ? 37 : 48;
        const int at = model == int(HitachiModel::Hit911) ? 40 : model == int(HitachiModel::Hit902) ? 44 : 43;
        QCOMPARE(reply.mid(at, channels), Zeros(channels));
    }
    QTEST(rig.monitor(), "monitor");
    for (const QString& table : {QStringLiteral("control_results"), QStringLiteral("Raw_Results")})
        QCOMPARE(rig.db().count(table) > 0, table == stored);
}

void TestHitachiDrivers::resultsReachTheStore_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QStringList>("monitor");

    const auto H911 = HitachiModel::Hit911;
    const auto H912 = HitachiModel::Hit912;
    const auto H902 = HitachiModel::Hit902;
    for (const QString& b : Test::Backends()) {
        const QByteArray n = b.toLatin1();
        QTest::addRow("%s 911 routine blank stored as NULL, alarm O as >", n.data())
            << b << int(H911) << ResultsFrame(H911, "a", "12345", {{1, "      ", "A"}, {5, " 72.38", "O"}})
            << "12345|1|NULL|A;12345|2|72.38|>" << QStringList{"received sample : batchmode"};
        QTest::addRow("%s 911 STAT blank with alarm gets ?", n.data())
            << b << int(H911) << ResultsFrame(H911, "G", "12345", {{1, "      ", "A"}}) << "12345|1|NULL|?"
            << QStringList{"received STAT Sample"};
        QTest::addRow("%s 911 reads another analyzer's channel", n.data())
            << b << int(H911) << ResultsFrame(H911, "a", "12345", {{20, "  3.00", " "}}) << "12345|9|3|"
            << QStringList{"received sample : batchmode"};
        QTest::addRow("%s 912 skips another analyzer's channel", n.data())
            << b << int(H912) << ResultsFrame(H912, "a", "12345", {{20, "  3.00", " "}, {5, "  4.00", ">"}})
            << "12345|2|4|>"
            << QStringList{"sample \"12345\": no parameter for channel 20 in param2channel: value \"  3.00\" "
                           "not stored",
                           "received sample : batchmode"};
        QTest::addRow("%s 902 channel without any mapping", n.data())
            << b << int(H902) << ResultsFrame(H902, "a", "12345", {{2, "  3.00", " "}, {37, "  4.00", " "}})
            << "12345|4|4|"
            << QStringList{"sample \"12345\": no parameter for channel 2 in param2channel: value \"  3.00\" "
                           "not stored",
                           "received sample : batchmode"};
    }
}

void TestHitachiDrivers::resultsReachTheStore()
{
    QFETCH(QString, backend);
    QFETCH(int, model);
    QFETCH(QString, frame);
    Rig rig(backend, HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QTEST(rig.rows(RawRows), "raw");
    QTEST(rig.monitor(), "monitor");
}

void TestHitachiDrivers::valuesThatAreNoNumbersLeaveOrdersOpen()
{
    QFETCH(QString, backend);
    Rig rig(backend, HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    const QString orders =
        QStringLiteral("SELECT parameter_id, result, analyzer_id FROM request ORDER BY parameter_id");
    rig.base().deliver(*rig.driver, ResultsFrame(HitachiModel::Hit911, "a", "12345",
                                                 {{1, "  <0.1", " "}, {5, "   pos", " "}}));
    QCOMPARE(rig.rows(orders), QStringLiteral("1|NULL|NULL;2|NULL|NULL"));
    // The rerun fills the orders; the raw copies keep all four values.
    rig.base().deliver(*rig.driver, ResultsFrame(HitachiModel::Hit911, "a", "12345",
                                                 {{1, "  0.08", " "}, {5, "  1.50", " "}}));
    QCOMPARE(rig.rows(orders), QStringLiteral("1|0.08|H1;2|1.5|H1"));
    QCOMPARE(rig.db().count("Raw_Results"), 4);
}

void TestHitachiDrivers::damagedFramesAreAnswered_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("problem");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<int>("calibrations");

    const auto H911 = HitachiModel::Hit911;
    const auto H912 = HitachiModel::Hit912;
    const auto H902 = HitachiModel::Hit902;
    QTest::newRow("911 count not a number") << int(H911) << Frame({":a", Id911("12345"), "xx", " 1 72.38 "})
                                            << "result count \"xx\" is not a number"
                                            << "" << 0;
    QTest::newRow("911 count above the blocks: complete ones stored")
        << int(H911) << Frame({":a", Id911("12345"), " 3", " 1 72.38 ", " 5  1.5"})
        << "result count 3 but the frame holds 1 complete results"
        << "12345|1|72.38|" << 0;
    QTest::newRow("912 results cut before the count")
        << int(H912) << Frame({":a", Id912("12345").left(30)}) << "cut short"
        << "" << 0;
    QTest::newRow("911 seven standards")
        << int(H911)
        << Frame({":M", " 1", "7", " ", Standard(1), Standard(2), Standard(3), Standard(4), Standard(5),
                  Standard(6), Standard(7)})
        << "standard count 7 is above 6"
        << "" << 0;
    QTest::newRow("902 calibration of an unmapped channel")
        << int(H902) << Frame({":G", " ", " 99", "1", " ", Standard(1), "  0.0100"})
        << "calibration of channel 99: no parameter"
        << "" << 0;
    QTest::newRow("902 calibration mapped for another analyzer is stored")
        << int(H902) << Frame({":G", " ", " 20", "1", " ", Standard(1), "  0.0100"})
        << "received calibrator data"
        << "" << 1;
    QTest::newRow("911 inquiry cut inside the id")
        << int(H911) << Frame({";A", Id911("12345").left(12)}) << "cut short"
        << "" << 0;
}

void TestHitachiDrivers::damagedFramesAreAnswered()
{
    QFETCH(int, model);
    QFETCH(QString, frame);
    QFETCH(QString, problem);
    QFETCH(int, calibrations);
    Rig rig(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    const QStringList monitor = rig.monitor();
    QVERIFY2(monitor.filter(problem).size() == 1, qPrintable(monitor.join(QLatin1Char('\n'))));
    QTEST(rig.rows(RawRows), "raw");
    QVERIFY2(rig.db().count("calibrations") == calibrations, qPrintable(monitor.join(QLatin1Char('\n'))));
}

void TestHitachiDrivers::splitAtEveryPosition_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("withLims");
    QTest::addColumn<QString>("frame");
    const auto H911 = HitachiModel::Hit911;
    const auto H912 = HitachiModel::Hit912;
    const auto H902 = HitachiModel::Hit902;
    QTest::newRow("911 real-time results")
        << int(H911) << false << ResultsFrame(H911, "A", "12345", {{1, " 72.38", " "}, {5, "      ", "A"}});
    QTest::newRow("911 with LIMS inquiry") << int(H911) << true << InquiryFrame(H911, "12345");
    QTest::newRow("902 batch results")
        << int(H902) << false << ResultsFrame(H902, "a", "12345", {{1, " 72.38", "O"}, {37, "  4.00", " "}});
    QTest::newRow("912 inquiry") << int(H912) << false << InquiryFrame(H912, "12345");
    QTest::newRow("912 STAT results")
        << int(H912) << false << ResultsFrame(H912, "D", "12345", {{5, "      ", "A"}});
}

void TestHitachiDrivers::splitAtEveryPosition()
{
    QFETCH(int, model);
    QFETCH(bool, withLims);
    QFETCH(QString, frame);
    Rig rig(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    const auto reset = [&] {
        // A fresh start for the same frame: the record of frames already stored goes too.
        rig.exec({"DELETE FROM Raw_Results", "DELETE FROM request", "DELETE FROM sample_base",
                  "DELETE FROM results", "DELETE FROM req2send", "DELETE FROM quorlix_log",
                  "INSERT INTO request (sample_id, parameter_id) VALUES ('12345', 1)",
                  "INSERT INTO request (sample_id, parameter_id) VALUES ('12345', 2)"});
    };
    const QString state = QStringLiteral("SELECT sample_id, parameter_id, result, data_alarm FROM request "
                                         "ORDER BY parameter_id");
    const auto feed = [&](const QString& piece) {
        if (withLims)
            rig.base().deliver(rig.withLims(), piece);
        else
            rig.base().deliver(*rig.driver, piece);
    };

    reset();
    feed(frame);
    const QString wholeReply = rig.toAnalyzer();
    const QString wholeRaw = rig.rows(RawRows);
    const QString wholeRequest = rig.rows(state);
    QVERIFY(!wholeReply.isEmpty());

    for (int cut = 1; cut < frame.size(); ++cut) {
        reset();
        feed(frame.left(cut));
        feed(frame.mid(cut));
        QCOMPARE(rig.toAnalyzer(), wholeReply);
        QCOMPARE(rig.rows(RawRows), wholeRaw);
        QCOMPARE(rig.rows(state), wholeRequest);
    }
    // Exactly one reply per frame.
    QCOMPARE(rig.quietAnalyzer(), QByteArray());
}

void TestHitachiDrivers::everyFrameOfAPieceIsAnswered_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("withLims");
    // Each piece is a list of words: F1 and F2 the two frames, F1< and F1> the two halves of one.
    QTest::addColumn<QStringList>("pieces");
    QTest::addColumn<int>("noise");
    for (const auto& [name, model, withLims] : {std::tuple{"911", HitachiModel::Hit911, false},
                                                std::tuple{"911 with LIMS", HitachiModel::Hit911, true},
                                                std::tuple{"902 with LIMS", HitachiModel::Hit902, true},
                                                std::tuple{"912", HitachiModel::Hit912, false}}) {
        QTest::addRow("%s: two frames in one piece", name)
            << int(model) << withLims << QStringList{"F1 F2"} << 0;
        QTest::addRow("%s: end of one, start of the next", name)
            << int(model) << withLims << QStringList{"F1<", "F1> F2<", "F2>"} << 0;
        QTest::addRow("%s: noise between", name)
            << int(model) << withLims << QStringList{"F1", "xyz", "F2"} << 3;
    }
}

void TestHitachiDrivers::everyFrameOfAPieceIsAnswered()
{
    QFETCH(int, model);
    QFETCH(bool, withLims);
    QFETCH(QStringList, pieces);
    QFETCH(int, noise);
    Rig rig(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    const QString one = ResultsFrame(HitachiModel(model), "a", "12345", {{1, " 72.38", " "}});
    const QString two = ResultsFrame(HitachiModel(model), "a", "12346", {{5, "  0.91", " "}});
    const QHash<QString, QString> words{{"F1", one},         {"F2", two},          {"F1<", one.left(9)},
                                        {"F1>", one.mid(9)}, {"F2<", two.left(4)}, {"F2>", two.mid(4)}};
    for (const QString& wordsOfPiece : pieces) {
        QString piece;
        for (const QString& word : wordsOfPiece.split(' '))
            piece += words.value(word, word);
        if (withLims)
            rig.base().deliver(rig.withLims(), piece);
        else
            rig.base().deliver(*rig.driver, piece);
    }
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.quietAnalyzer(), QByteArray());
    QCOMPARE(rig.rows(RawRows), QStringLiteral("12345|1|72.38|;12346|2|0.91|"));
    const QStringList dropped = rig.monitor().filter("before the frame's STX dropped");
    QCOMPARE(dropped,
             noise ? QStringList{QString("%1 characters received before the frame's STX dropped").arg(noise)}
                   : QStringList{});
}

void TestHitachiDrivers::limsRelay_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<bool>("limsOnline");
    QTest::newRow("911 LIMS online") << int(HitachiModel::Hit911) << true;
    QTest::newRow("911 LIMS offline") << int(HitachiModel::Hit911) << false;
    QTest::newRow("902 LIMS online") << int(HitachiModel::Hit902) << true;
    QTest::newRow("902 LIMS offline") << int(HitachiModel::Hit902) << false;
}

void TestHitachiDrivers::limsRelay()
{
    QFETCH(int, model);
    QFETCH(bool, limsOnline);
    Rig rig(QStringLiteral("sqlite"), HitachiModel(model));
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.link().limsOnline = limsOnline;
    rig.base().deliver(rig.withLims(), Frame({">"}));
    const QString ack = STX + ">" + ETX;
    if (limsOnline) {
        QCOMPARE(rig.toLims(), ack);
        QCOMPARE(rig.quietAnalyzer(), QByteArray());
    } else {
        QCOMPARE(rig.toAnalyzer(), ack);
        QCOMPARE(rig.quietLims(), QByteArray());
    }
}

void TestHitachiDrivers::emptyInquiryGoesToTheLims_data()
{
    QTest::addColumn<QString>("outType");
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("toLims");
    QTest::addColumn<bool>("toAnalyzer");
    QTest::newRow("no tests, invH912: asked of the LIMS") << "invH912"
                                                          << "777" << true << false;
    QTest::newRow("no tests, other out-type: nothing sent") << "invOAU400"
                                                            << "777" << false << false;
    QTest::newRow("blank id, invH912: asked of the LIMS") << "invH912"
                                                          << "" << true << false;
    QTest::newRow("tests: answered by the host") << "invH912"
                                                 << "12345" << false << true;
}

void TestHitachiDrivers::emptyInquiryGoesToTheLims()
{
    QFETCH(QString, outType);
    QFETCH(QString, id);
    QFETCH(bool, toLims);
    QFETCH(bool, toAnalyzer);
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit902);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.settings().OutType = outType;
    rig.base().deliver(rig.withLims(), InquiryFrame(HitachiModel::Hit902, id));
    if (toLims) {
        // Function, class, "1", number 5, "1", position 2, "5", id 13, info 4, "0", date 6, time 4.
        QCOMPARE(rig.toLims(), STX + ";A" + "1" + "00012" + "1" + "07" + "5" + (Blanks(13) + id).right(13) +
                                   Blanks(4) + "0" + Blanks(6) + Blanks(4) + ETX);
    } else {
        QCOMPARE(rig.quietLims(), QByteArray());
    }
    if (toAnalyzer) {
        QCOMPARE(rig.toAnalyzer().size(), 87);
        QCOMPARE(rig.monitor(), QStringList{"spe"});
    } else {
        QCOMPARE(rig.quietAnalyzer(), QByteArray());
        QCOMPARE(rig.monitor(), QStringList{});
    } // Answered here, or waiting for the LIMS's answer.
    QCOMPARE(rig.base().stats.orderReplies.count, toAnalyzer ? 1u : 0u);
}

void TestHitachiDrivers::classFIsAnsweredUnlogged()
{
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.base().deliver(rig.withLims(), Frame({":F", Id911("12345"), " 0"}));
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    const QStringList lines = rig.lines();
    QCOMPARE(lines.filter("A->H").size(), 0);
    QCOMPARE(lines.filter("H->A").size(), 1);
}

void TestHitachiDrivers::pauseBeforeReply()
{
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit912, HitachiDriver::PauseBeforeReplyMs);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.base().deliver(*rig.driver, Frame({"@"}));
    // The line waits before the reply goes out.
    QCOMPARE(rig.base().analyzerLine.takeOperations(), (QStringList{"pause 100", STX + ">" + ETX}));
}

void TestHitachiDrivers::unendingInputIsBounded()
{
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.base().deliver(*rig.driver, STX + ":a");
    for (int i = 0; i < 10; ++i)
        rig.base().deliver(*rig.driver, QString(1000, QLatin1Char('x')));
    QVERIFY(rig.driver->frameBuffer().text().size() <= FrameBuffer::Limit);
    QCOMPARE(rig.monitor().filter("frame buffer passed").size(), 2);
    QCOMPARE(rig.quietAnalyzer(), QByteArray());
    // The next frame is served as usual.
    rig.base().deliver(*rig.driver, ResultsFrame(HitachiModel::Hit911, "a", "12345", {{1, " 72.38", " "}}));
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.rows(RawRows), QStringLiteral("12345|1|72.38|"));
}

void TestHitachiDrivers::noiseBeforeTheFrameIsDropped()
{
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    // Line noise and the frame arrive in one piece that does not start with STX.
    rig.base().deliver(*rig.driver,
                       QStringLiteral("x\x7f\x1bnoise") +
                           ResultsFrame(HitachiModel::Hit911, "a", "12345", {{1, " 72.38", " "}}));
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.rows(RawRows), QStringLiteral("12345|1|72.38|"));
    QCOMPARE(rig.monitor().filter("before the frame's STX dropped").size(), 1);
}

void TestHitachiDrivers::unmappedWhileTheDatabaseIsDown_data()
{
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QString>("frame"); // of sample 12345 or control QC1, channels never seen before
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QList<int>>("counted"); // results, controls, calibrations once stored
    for (const QString& backend : Test::Backends()) {
        QTest::addRow("%s sample", qPrintable(backend))
            << backend
            << ResultsFrame(HitachiModel::Hit911, "a", "12345", {{7, "  4.20", " "}, {37, " 12.00", " "}})
            << "SELECT sample_id, parameter_id, result FROM Raw_Results ORDER BY parameter_id"
            << "12345|3|4.2;12345|4|12" << QList<int>{1, 0, 0};
        QTest::addRow("%s control", qPrintable(backend))
            << backend << ResultsFrame(HitachiModel::Hit911, "a", "QC1", {{7, " 50.00", " "}})
            << "SELECT control_id, parameter_id, result FROM control_results"
            << "QC1|3|50" << QList<int>{0, 1, 0};
        QTest::addRow("%s calibration", qPrintable(backend))
            << backend << Frame({":M", " 7", "1", " ", Standard(1)})
            << "SELECT parameter_id, std_count FROM calibrations"
            << "3|1" << QList<int>{0, 0, 1};
    }
}

void TestHitachiDrivers::unmappedWhileTheDatabaseIsDown()
{
    // The analyzer is answered; the frame waits in the spool with its channels and is mapped and
    // stored once the database is back.
    QFETCH(QString, backend);
    QFETCH(QString, frame);
    Rig rig(backend, HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    QTemporaryDir spool;
    Store& store = rig.base().store;
    store.openSpool(spool.path());
    rig.db().db().close();
    rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.monitor().filter("the database is unavailable").size(), 1);
    QCOMPARE(store.spool()->pendingCount(), 1);
    // Counted as stored only once it is: the failed attempt counts as a database failure.
    const InstanceStats& stats = rig.base().stats;
    const auto counts = [&stats] {
        return QList<int>{int(stats.resultsStored), int(stats.controlsStored), int(stats.calibrationsStored)};
    };
    QCOMPARE(counts(), (QList<int>{0, 0, 0}));
    QCOMPARE(stats.databaseFailures, 1u);
    QVERIFY2(stats.lastError.contains("database failure"), qPrintable(stats.lastError));

    store.replaySpool(); // the connection is opened again
    QCOMPARE(store.spool()->pendingCount(), 0);
    QFETCH(QString, table);
    QTEST(rig.rows(table), "stored");
    QTEST(counts(), "counted");
}

void TestHitachiDrivers::sameFrameAgainByWhatItCarries_data()
{
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("count"); // rows stored
    QTest::addColumn<int>("secondsLater");
    QTest::addColumn<int>("stored");
    const QString calibration = Frame({":M", " 7", "1", " ", Standard(1)});
    const QString calibrations = "SELECT COUNT(*) FROM calibrations";
    // A results frame without sequence number, date and time tells no two measurements apart.
    const QString bare = Frame({":a",
                                " " + Blanks(3) + "1" + " 1" + QString("12345").leftJustified(13) + "   3" +
                                    " " + Blanks(6) + Blanks(4),
                                " 1", " 1 72.38 "});
    const QString numbered = ResultsFrame(HitachiModel::Hit911, "a", "12345", {{1, " 72.38", " "}});
    const QString raw = "SELECT COUNT(*) FROM Raw_Results";
    QTest::newRow("calibration resent within minutes: once") << calibration << calibrations << 60 << 1;
    QTest::newRow("the same calibration the next morning: twice")
        << calibration << calibrations << 14 * 3600 << 2;
    QTest::newRow("results without number or time, an hour later: twice") << bare << raw << 3600 << 2;
    QTest::newRow("results with a sequence number, an hour later: once") << numbered << raw << 3600 << 1;
}

void TestHitachiDrivers::sameFrameAgainByWhatItCarries()
{
    QFETCH(QString, frame);
    QFETCH(QString, count);
    QFETCH(int, secondsLater);
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.base().deliver(*rig.driver, frame);
    rig.base().time.advanceSeconds(secondsLater);
    rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QFETCH(int, stored);
    QCOMPARE(rig.db().scalar(count), QString::number(stored));
}

void TestHitachiDrivers::heldCalibrationLeavesNoFingerprint()
{
    // The operator may drop a calibration that does not fit the settings: when the analyzer sends
    // it again it is shown again, not taken for one already stored.
    struct Dialogs final : CalibrationDialogs
    {
        int shown = 0;
        void showMismatch(const CalibrationRecord&) override { ++shown; }
    } dialogs;
    QFETCH(QString, backend);
    Rig rig(backend, HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    rig.settings().ShowCalibChart = "1"; // and no calib_base row for parameter 3
    rig.base().store.setCalibrationDialogs(&dialogs);
    const QString calibration = Frame({":M", " 7", "1", " ", Standard(1)});
    rig.base().deliver(*rig.driver, calibration);
    rig.base().deliver(*rig.driver, calibration);
    QCOMPARE(dialogs.shown, 2);
    QCOMPARE(rig.db().count("quorlix_log", "log_key = 'frame_stored'"), 0);
    QCOMPARE(rig.db().count("calibrations"), 0);
}

void TestHitachiDrivers::sameFrameAgainIsStoredOnce()
{
    QFETCH(QString, backend);
    Rig rig(backend, HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    rig.exec(Setup);
    const QString frame = ResultsFrame(HitachiModel::Hit911, "a", "12345", {{1, " 72.38", " "}});
    // The analyzer got no answer and sends the same frame again: answered both times, stored once.
    rig.base().deliver(*rig.driver, frame);
    rig.base().deliver(*rig.driver, frame);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.rows(RawRows), QStringLiteral("12345|1|72.38|"));
    QCOMPARE(rig.base().stats.resultsStored, 1u);
    QCOMPARE(rig.monitor().filter("the same frame again, already stored").size(), 1);
    // A new measurement of the same sample carries another sequence number: it is stored.
    QString again = frame;
    again[6] = QLatin1Char('2');
    rig.base().deliver(*rig.driver, again);
    QCOMPARE(rig.toAnalyzer(), STX + ">" + ETX);
    QCOMPARE(rig.rows(RawRows), QStringLiteral("12345|1|72.38|;12345|1|72.38|"));
    QCOMPARE(rig.base().stats.resultsStored, 2u);
}

void TestHitachiDrivers::registeredEntries_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("limsSide");
    QTest::addColumn<bool>("toLims"); // an analyzer ">" relayed to the LIMS: the LIMS-aware entry
    QTest::newRow("H911") << "H911" << false << false;
    QTest::newRow("H911 with LIMS") << "H911" << true << true;
    QTest::newRow("H902") << "H902" << false << false;
    QTest::newRow("H902 with LIMS") << "H902" << true << true;
    QTest::newRow("H912") << "H912" << false << false;
}

void TestHitachiDrivers::registeredEntries()
{
    QFETCH(QString, type);
    QFETCH(bool, limsSide);
    QFETCH(bool, toLims);
    Rig rig(QStringLiteral("sqlite"), HitachiModel::Hit911);
    QVERIFY2(rig.ok(), qPrintable(rig.error()));
    Settings& s = rig.settings();
    s.AnalyzerType = type;
    if (limsSide) {
        s.OutType = QStringLiteral("invH912");
        s.OutComPort = 2;
    }
    DriverRegistry registry;
    RegisterHitachiDrivers(registry);
    const DriverRegistry::HandlerFactory* factory = registry.handler(registry.analyzerEntry(type, limsSide));
    QVERIFY(factory);
    const std::unique_ptr<LineHandler> handler = (*factory)(rig.base().services());
    rig.base().deliver(*handler, Frame({">"}));
    const QString ack = STX + ">" + ETX;
    QCOMPARE(toLims ? rig.toLims() : rig.toAnalyzer(), ack);
    QCOMPARE(rig.monitor(), QStringList{});
}

QTEST_GUILESS_MAIN(TestHitachiDrivers)
#include "tst_hitachidrivers.moc"
