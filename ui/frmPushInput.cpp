#include "frmPushInput.h"

#include "core/CommLog.h"
#include "core/Database.h"
#include "core/Settings.h"
#include "core/SqlHelpers.h"
#include "frmNamePics.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace Quorlix {

namespace {

// Keys of the operator texts (table textstrings) of the captions set by Translate.
constexpr int UserChosenKey = 6601;
constexpr int SelectUserKey = 6602;
constexpr int SampleIdKey = 6603;
constexpr int ResultKey = 6604;
constexpr int SampleCounterKey = 6605;
constexpr int ClearSessionKey = 6606;
constexpr int CloseKey = 6607;

const QColor Red(255, 0, 0);
const QColor Blue(0, 0, 255);
const QColor Black(0, 0, 0);

int Twips(const QWidget* widget, int twips)
{
    return qRound(twips * widget->logicalDpiX() / 1440.0);
}

QLabel* Label(const QString& name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

void SetShown(QWidget* widget, bool shown)
{
    widget->setEnabled(shown);
    widget->setVisible(shown);
}

void SetColours(QLabel* label, const QColor& text, const QColor& background)
{
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Window, background);
    label->setPalette(palette);
}

// The entry boxes and the history rows are shown large.
QFont LargeFont(const QWidget* widget)
{
    QFont large = widget->font();
    large.setPointSize(14);
    return large;
}

// The number a history value shows; 0 when it shows none.
double ShownNumber(const QString& caption)
{
    bool ok = false;
    const double number = ManualInput::ResultText(caption).toDouble(&ok);
    return ok ? number : 0;
}

} // namespace

bool frmPushInput::Row::inUse() const
{
    return sample->isEnabled();
}

frmPushInput::frmPushInput(Database& db, CommLog& log, const Settings& settings, const Clock& clock,
                           QWidget* parent)
    : QWidget(parent, Qt::Window), m_db(db), m_log(log), m_settings(settings), m_clock(clock),
      m_input(db, log, settings)
{
    setObjectName(QStringLiteral("frmPushInput"));
    setWindowTitle(QStringLiteral("Quorlix Input - Device - Parameter - User"));
    m_pictureWindow = [this](const QString& user) {
        frmNamePics pictures(m_db, m_log, m_settings, m_clock, user, this);
        pictures.exec();
    };

    createControls();
    layOut();
    load();
}

void frmPushInput::createControls()
{
    m_lblSelectUser = Label(QStringLiteral("lblSelectUser"), QStringLiteral("SelectUser"), this);
    m_cbUser = new QComboBox(this);
    m_cbUser->setObjectName(QStringLiteral("cbUser"));
    connect(m_cbUser, &QComboBox::activated, this, &frmPushInput::cbUser_Click);
    m_lblDevice = Label(QStringLiteral("lblDevice"), QStringLiteral("DeviceID"), this);
    m_lblParameter = Label(QStringLiteral("lblParameter"), QStringLiteral("Parameter"), this);
    m_lblSampleID = Label(QStringLiteral("lblSampleID"), QStringLiteral("Sample ID"), this);
    m_lblResult = Label(QStringLiteral("lblResult"), QStringLiteral("Result"), this);
    m_txtSampleID = new QLineEdit(this);
    m_txtSampleID->setObjectName(QStringLiteral("txtSampleID"));
    m_txtResult = new QLineEdit(this);
    m_txtResult->setObjectName(QStringLiteral("txtResult"));
    const QFont large = LargeFont(this);
    for (QLineEdit* box : {m_txtSampleID, m_txtResult}) {
        box->setFont(large);
        box->installEventFilter(this);
    }
    m_lblSampleCTRLabel = Label(QStringLiteral("lblSampleCTRLabel"), QStringLiteral("SampleCounter"), this);
    m_lblSampleCTR = Label(QStringLiteral("lblSampleCTR"), QStringLiteral("SessionSampleCTR"), this);
    m_cmdClearSession = new QPushButton(QStringLiteral("Clear Session"), this);
    m_cmdClearSession->setObjectName(QStringLiteral("cmdClearSession"));
    connect(m_cmdClearSession, &QPushButton::clicked, this, &frmPushInput::cmdClearSession_Click);
    m_lblStatus = Label(QStringLiteral("lblStatus"), QString(), this);
    m_lblStatus->setWordWrap(true);
    SetColours(m_lblStatus, Red, palette().color(QPalette::Window));
    m_cmdClose = new QPushButton(QStringLiteral("Log Out / Close"), this);
    m_cmdClose->setObjectName(QStringLiteral("cmdClose"));
    connect(m_cmdClose, &QPushButton::clicked, this, &frmPushInput::cmdClose_Click);
}

QWidget* frmPushInput::createHistory()
{
    auto* historyFrame = new QFrame(this);
    historyFrame->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QGridLayout(historyFrame);
    QFont history = LargeFont(this);
    history.setBold(true);
    for (int i = 0; i < HistoryRows; ++i) {
        Row& row = m_rows[static_cast<size_t>(i)];
        row.sample =
            Label(QStringLiteral("lblSampleID1(%1)").arg(i), QStringLiteral("SampleID1"), historyFrame);
        row.result = Label(QStringLiteral("lblResult1(%1)").arg(i), QStringLiteral("Result1"), historyFrame);
        row.del =
            Label(QStringLiteral("lblDEL1(%1)").arg(i), QStringLiteral("DEL%1").arg(i + 1), historyFrame);
        row.del->setCursor(Qt::PointingHandCursor);
        row.del->installEventFilter(this);
        for (QLabel* label : {row.sample, row.result}) {
            label->setFont(history);
            label->setAlignment(Qt::AlignCenter);
            label->setAutoFillBackground(true);
        }
        rows->addWidget(row.sample, i, 0);
        rows->addWidget(row.result, i, 1);
        rows->addWidget(row.del, i, 2);
    }
    rows->setColumnStretch(0, 3);
    rows->setColumnStretch(1, 2);
    rows->setRowStretch(HistoryRows, 1);
    return historyFrame;
}

void frmPushInput::layOut()
{
    auto* user = new QHBoxLayout;
    user->addWidget(m_lblSelectUser);
    user->addWidget(m_cbUser);
    user->addStretch();
    auto* device = new QHBoxLayout;
    device->addWidget(m_lblDevice);
    device->addSpacing(24);
    device->addWidget(m_lblParameter, 1);
    QFont bold = font();
    bold.setBold(true);
    m_lblParameter->setFont(bold);
    auto* entry = new QGridLayout;
    entry->addWidget(m_lblSampleID, 0, 0);
    entry->addWidget(m_lblResult, 0, 1);
    entry->addWidget(m_txtSampleID, 1, 0);
    entry->addWidget(m_txtResult, 1, 1);
    entry->setColumnStretch(0, 3);
    entry->setColumnStretch(1, 2);

    // The history: eight rows, newest on top, each with its delete mark.
    QWidget* historyFrame = createHistory();
    auto* counter = new QHBoxLayout;
    counter->addWidget(m_lblSampleCTRLabel);
    counter->addWidget(m_lblSampleCTR);
    counter->addStretch();
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_cmdClearSession);
    buttons->addStretch();
    buttons->addWidget(m_cmdClose);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(user);
    layout->addLayout(device);
    layout->addSpacing(8);
    layout->addLayout(entry);
    layout->addWidget(historyFrame, 1);
    layout->addLayout(counter);
    layout->addWidget(m_lblStatus);
    layout->addLayout(buttons);
    // Rows appear and disappear: the window keeps the size it has.
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    resize(560, 560);
}

void frmPushInput::load()
{
    m_input.startSession();
    SetShown(m_cmdClearSession, false);
    for (const Row& row : m_rows) {
        for (QLabel* label : {row.sample, row.result, row.del})
            SetShown(label, false);
    }
    SetShown(m_txtSampleID, false);
    SetShown(m_txtResult, false);
    m_lblSampleID->hide();
    m_lblResult->hide();
    m_lblSelectUser->setFixedWidth(Twips(this, 6000));
    SetColours(m_lblSelectUser, Blue, palette().color(QPalette::Window));

    setWindowTitle(QStringLiteral("Quorlix Input - ") + m_settings.AnalyzerId);
    m_lblSampleID->setText(caption(SampleIdKey));
    m_lblResult->setText(caption(ResultKey));
    m_lblSampleCTRLabel->setText(caption(SampleCounterKey));
    m_cmdClearSession->setText(caption(ClearSessionKey));
    m_cmdClose->setText(caption(CloseKey));
    m_lblSelectUser->setText(caption(SelectUserKey));

    if (const std::optional<QString> name = m_input.parameterName()) {
        m_lblParameter->setText(*name);
        m_parameterConfigured = true;
    } else {
        m_lblParameter->setText(QStringLiteral("Parameter not configured!"));
    }
    m_lblDevice->setText(m_settings.AnalyzerId);
    showCounter();
    m_cbUser->addItems(m_input.users());
    m_cbUser->setCurrentIndex(-1);
}

QString frmPushInput::caption(int key)
{
    // An empty language setting reads the English texts.
    return Translate(m_db, m_settings.Language.isEmpty() ? QStringLiteral("english") : m_settings.Language,
                     key);
}

void frmPushInput::showCounter()
{
    m_lblSampleCTR->setText(QString::number(m_counter));
}

void frmPushInput::cbUser_Click()
{
    const QString user = m_cbUser->currentText().trimmed();
    if (user.isEmpty() || !m_parameterConfigured || !m_input.isUser(user))
        return;
    SetShown(m_txtSampleID, true);
    SetShown(m_txtResult, true);
    m_lblSelectUser->setFixedWidth(Twips(this, 2000));
    SetColours(m_lblSelectUser, Black, palette().color(QPalette::Window));
    m_lblSelectUser->setText(caption(UserChosenKey));
    m_lblSampleID->show();
    m_lblResult->show();
    m_txtSampleID->clear();
    m_txtResult->clear();
    m_txtSampleID->setFocus();
    SetShown(m_cmdClearSession, true);
}

bool frmPushInput::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == m_txtSampleID || watched == m_txtResult) && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (enter && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (watched == m_txtSampleID)
                sampleEnter();
            else
                resultEnter();
            return true;
        }
        if (key->key() == Qt::Key_Escape) {
            resetInput();
            return true;
        }
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        for (int i = 0; i < HistoryRows; ++i) {
            if (watched == m_rows[static_cast<size_t>(i)].del) {
                deleteRow(i);
                resetInput();
                return true;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool frmPushInput::commandWords(const QString& text)
{
    // CLS and END only as the whole text: a barcode that begins with them is a sample id, not a
    // command that clears the session or stops the station.
    const QString command = text.left(3);
    if (command == QLatin1String("ESC")) {
        resetInput();
    } else if (text == QLatin1String("CLS")) {
        clearSession();
        resetInput();
    } else if (text == QLatin1String("END")) {
        endProgram();
    } else if (command == QLatin1String("DEL") && text.size() == 4 && text.at(3).isDigit()) {
        deleteRow(text.at(3).digitValue() - 1);
        resetInput();
    } else if (command == QLatin1String("PIC")) {
        m_pictureWindow(m_cbUser->currentText().trimmed());
        resetInput();
    } else {
        return false;
    }
    return true;
}

void frmPushInput::sampleEnter()
{
    commandWords(m_txtSampleID->text());
    const QString id = m_txtSampleID->text();
    if (!ManualInput::IsValidSampleId(id))
        m_txtSampleID->selectAll();
    else if (!id.isEmpty())
        m_txtResult->setFocus();
}

void frmPushInput::resultEnter()
{
    commandWords(m_txtResult->text());
    const QString result = m_txtResult->text();
    if (!ManualInput::IsValidResult(result) || result.trimmed().isEmpty()) {
        m_txtResult->selectAll();
        return;
    }
    // A result belongs to a sample: without a valid id nothing is stored.
    const QString id = m_txtSampleID->text();
    if (id.trimmed().isEmpty() || !ManualInput::IsValidSampleId(id)) {
        m_txtSampleID->setFocus();
        m_txtSampleID->selectAll();
        return;
    }
    if (const QString error = m_input.enter(id, result, m_cbUser->currentText()); !error.isEmpty()) {
        tell(error);
        m_txtResult->selectAll();
        return;
    }
    tell(QString());
    pushHistory(id, result);
    resetInput();
    ++m_counter;
    showCounter();
}

void frmPushInput::resetInput()
{
    m_txtSampleID->clear();
    m_txtResult->clear();
    m_txtSampleID->setFocus();
}

void frmPushInput::setRow(int i, const QString& sample, const QString& result, bool inUse)
{
    const Row& row = m_rows[static_cast<size_t>(i)];
    row.sample->setText(sample);
    row.result->setText(result);
    for (QLabel* label : {row.sample, row.result, row.del})
        SetShown(label, inUse);
    if (inUse)
        colourRow(i);
    else
        SetColours(row.result, Black, palette().color(QPalette::Button));
}

void frmPushInput::pushHistory(const QString& sample, const QString& result)
{
    // Every row moves down by one, an emptied row too, so that no entry shows twice.
    for (int i = HistoryRows - 1; i >= 1; --i) {
        const Row& above = m_rows[static_cast<size_t>(i - 1)];
        setRow(i, above.sample->text(), above.result->text(), above.inUse());
    }
    setRow(0, sample, result, true);
}

void frmPushInput::colourRow(int i)
{
    const Row& row = m_rows[static_cast<size_t>(i)];
    const double number = ShownNumber(row.result->text());
    const QColor buttonFace = palette().color(QPalette::Button);
    if (number < -1) {
        for (QLabel* label : {row.sample, row.result})
            SetColours(label, Black, label == row.result ? Red : buttonFace);
        return;
    }
    const std::optional<double> cutoff = m_input.lowCutoff();
    const QColor text = cutoff && number < *cutoff ? Red : Black;
    for (QLabel* label : {row.sample, row.result})
        SetColours(label, label == row.result ? text : Black, buttonFace);
}

void frmPushInput::deleteRow(int i)
{
    if (i < 0 || i >= HistoryRows)
        return;
    const Row& row = m_rows[static_cast<size_t>(i)];
    const QString sample = row.sample->text().trimmed();
    if (!row.inUse() || sample.isEmpty()) {
        m_log.logall(QStringLiteral("History row %1 is empty: nothing deleted").arg(i + 1),
                     Direction::ManualInput);
        return;
    }
    if (const QString error = m_input.deleteEntry(sample); !error.isEmpty()) {
        tell(error);
        return;
    }
    tell(QString());
    --m_counter;
    showCounter();
    setRow(i, QString(), QString(), false);
}

void frmPushInput::cmdClearSession_Click()
{
    clearSession();
    resetInput();
}

void frmPushInput::clearSession()
{
    if (const QString error = m_input.clearSession(); !error.isEmpty()) {
        tell(error);
        return;
    }
    tell(QString());
    for (int i = 0; i < HistoryRows; ++i)
        setRow(i, QString(), QString(), false);
    m_counter = 0;
    showCounter();
}

void frmPushInput::tell(const QString& problem)
{
    // The technician sees why in the window itself; the Monitor view keeps it for the record.
    if (!problem.isEmpty())
        m_log.monitor(problem);
    m_lblStatus->setText(problem);
}

void frmPushInput::cmdClose_Click()
{
    endProgram();
}

void frmPushInput::endProgram()
{
    if (m_endProgram)
        m_endProgram();
    else
        close();
}

} // namespace Quorlix
