// screenshot-operator-windows: draws the ACT sample-ID window and the manual input window as an
// operator sees them, on a demonstration database, and saves them as PNGs (the README pictures).
// Run it on a real X server, for example under xvfb-run; scripts/screenshot-operator-windows.sh
// does that.

#include "core/Clock.h"
#include "core/CommLog.h"
#include "core/Database.h"
#include "core/SchemaInit.h"
#include "core/Settings.h"
#include "drivers/SampleChoice.h"
#include "ui/frmPushInput.h"
#include "ui/frmSetID.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdio>

using namespace Quorlix;

namespace {

bool Run(Database& db, const QString& sql, const QVariantList& values = {})
{
    SqlResult result = db.run(sql, values);
    if (!result.ok())
        std::fprintf(stderr, "screenshot-operator-windows: %s\n", qPrintable(result.error()));
    return result.ok();
}

// Waits until the window is on the screen and painted, then saves it.
bool Save(QWidget& window, const QString& file)
{
    QElapsedTimer waited;
    waited.start();
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window.windowHandle() || !window.windowHandle()->isExposed()) {
        std::fprintf(stderr, "screenshot-operator-windows: the window was not shown\n");
        return false;
    }
    const qint64 exposedAt = waited.elapsed();
    while (waited.elapsed() < exposedAt + 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!window.grab().save(file, "PNG")) {
        std::fprintf(stderr, "screenshot-operator-windows: cannot write %s\n", qPrintable(file));
        return false;
    }
    return true;
}

void Type(QLineEdit* box, const QString& text)
{
    box->setText(text);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(box, &enter);
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: screenshot-operator-windows OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    const QDir out(QString::fromLocal8Bit(argv[1]));

    QTemporaryDir dir;
    Database db;
    DatabaseTarget target;
    target.qtDriver = QStringLiteral("QSQLITE");
    target.databaseName = dir.filePath(QStringLiteral("lab.db"));
    target.dialect = SqlDialect(SqlDialect::SQLite);
    QString report;
    if (!db.open(target).isEmpty() || !InitDatabase(db, true, &report).isEmpty())
        return 1;

    // A morning's blood counts waiting for the ACT.
    const QStringList names{
        QStringLiteral("Meyer Anna"),   QStringLiteral("Okafor Ben"),  QStringLiteral("Lindqvist Eva"),
        QStringLiteral("Haddad Omar"),  QStringLiteral("Novak Petra"), QStringLiteral("Silva Rui"),
        QStringLiteral("Kowalski Jan"), QStringLiteral("Brandt Lena"), QStringLiteral("Rossi Marco"),
        QStringLiteral("Yilmaz Deniz"), QStringLiteral("Fischer Tom"), QStringLiteral("Dubois Claire")};
    for (int parameter : {13, 15, 17})
        Run(db, QStringLiteral("INSERT INTO param2channel (parameter_id, analyzer_id) VALUES (?, 'ACT1')"),
            {parameter});
    for (int i = 0; i < names.size(); ++i) {
        const QString id = QStringLiteral("2511%1").arg(140031 + i);
        const int patient = 2 + i;
        Run(db, QStringLiteral("INSERT INTO patients (p_id, surname, forename) VALUES (?, ?, ?)"),
            {patient, names[i].section(QLatin1Char(' '), 0, 0), names[i].section(QLatin1Char(' '), 1)});
        Run(db, QStringLiteral("INSERT INTO sample_base (sample_id, p_id) VALUES (?, ?)"), {id, patient});
        for (int parameter : {13, 15, 17})
            Run(db, QStringLiteral("INSERT INTO request (sample_id, parameter_id) VALUES (?, ?)"),
                {id, parameter});
    }

    ManualClock clock(QDateTime(QDate(2025, 11, 14), QTime(9, 11, 48)));
    const QLocale locale(QLocale::English, QLocale::UnitedKingdom);
    CommLog log(clock, locale);

    Settings act;
    act.AnalyzerId = QStringLiteral("ACT1");
    SampleChoice choice;
    frmSetID setId(db, &log, act);
    setId.attach(choice);
    setId.show();
    setId.chooseSample(6);
    if (!Save(setId, out.filePath(QStringLiteral("act-sample-id.png"))))
        return 1;
    setId.hide();

    Settings input;
    input.AnalyzerId = QStringLiteral("Station1");
    input.AnalyzerType = QStringLiteral("INPUT");
    input.InputParameterId = 12;
    input.AutoVal = QStringLiteral("1");
    input.ControlMask = QStringLiteral("QC????");
    input.Language = QStringLiteral("english");
    input.InputTableName = QStringLiteral("INPUT_Station1");
    Run(db, db.dialect().createEmptyCopy(input.InputTableName, QStringLiteral("request")));
    frmPushInput window(db, log, input, clock);
    window.show();
    window.cbUser()->setCurrentIndex(window.cbUser()->findText(QStringLiteral("TECH1")));
    emit window.cbUser()->activated(window.cbUser()->currentIndex());
    for (const auto& [sample, result] : {std::pair("10385236", "2,7"), std::pair("QC0001", "14.8"),
                                         std::pair("10385237", "0.1"), std::pair("10385238", "48")}) {
        Type(window.txtSampleID(), QString::fromLatin1(sample));
        Type(window.txtResult(), QString::fromLatin1(result));
    }
    window.txtSampleID()->setText(QStringLiteral("10385239"));
    return Save(window, out.filePath(QStringLiteral("manual-input.png"))) ? 0 : 1;
}
