#include "frmSimulate.h"

#include "core/FrameText.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace Quorlix {

namespace {

// Class "A", mark blank, number "  1", disc "1", position " 1" ... info "   3", date 03/19/92 11:47.
QString Identification(const QString& sampleId)
{
    return QStringLiteral("A   11 1") + RightAligned(sampleId, 13) + QStringLiteral("   3 0319921147");
}

} // namespace

frmSimulate::frmSimulate(Receiver receiver, QWidget* parent)
    : QWidget(parent), m_receiver(std::move(receiver))
{
    setObjectName(QStringLiteral("frmSimulate"));
    setWindowTitle(QStringLiteral("Hitachi Simulation"));

    auto* layout = new QGridLayout(this);
    auto* sampleIdLabel = new QLabel(QStringLiteral("Sample_id:"), this);
    sampleIdLabel->setObjectName(QStringLiteral("Label1"));
    m_sampleIdEdit = new QLineEdit(QStringLiteral("10385236"), this);
    m_sampleIdEdit->setObjectName(QStringLiteral("Text2"));
    m_inquiryButton = new QPushButton(QStringLiteral("Request Sample:"), this);
    m_inquiryButton->setObjectName(QStringLiteral("Command2"));
    layout->addWidget(sampleIdLabel, 0, 0);
    layout->addWidget(m_sampleIdEdit, 0, 1);
    layout->addWidget(m_inquiryButton, 0, 2);

    auto* channelHeader = new QLabel(QStringLiteral("Channel:"), this);
    channelHeader->setObjectName(QStringLiteral("Label3"));
    auto* resultHeader = new QLabel(QStringLiteral("Result:"), this);
    resultHeader->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(channelHeader, 1, 0);
    layout->addWidget(resultHeader, 1, 1);
    for (int i = 0; i < ResultRows; ++i) {
        auto* channel = new QLineEdit(this);
        channel->setObjectName(QStringLiteral("tchannel%1").arg(i));
        auto* result = new QLineEdit(this);
        result->setObjectName(QStringLiteral("tresult%1").arg(i));
        m_channelEdits << channel;
        m_resultEdits << result;
        layout->addWidget(channel, 2 + i, 0);
        layout->addWidget(result, 2 + i, 1);
    }
    m_resultEdits[0]->setText(QStringLiteral("72.38"));
    m_resultEdits[1]->setText(QStringLiteral("321.5"));

    m_resultsButton = new QPushButton(QStringLiteral("A sends Results"), this);
    m_resultsButton->setObjectName(QStringLiteral("Command3"));
    m_anyButton = new QPushButton(QStringLiteral("send 'ANY?'"), this);
    m_anyButton->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(m_resultsButton, 2 + ResultRows, 1);
    layout->addWidget(m_anyButton, 2 + ResultRows, 2);

    connect(m_inquiryButton, &QPushButton::clicked, this, &frmSimulate::sendInquiry);
    connect(m_resultsButton, &QPushButton::clicked, this, &frmSimulate::sendResults);
    // m_anyButton has no action.
}

QString frmSimulate::InquiryFrame(const QString& sampleId)
{
    return Stx + QLatin1Char(';') + Identification(sampleId) + Etx;
}

QString frmSimulate::ResultsFrame(const QString& sampleId, const QList<std::pair<QString, QString>>& entries)
{
    int count = 0;
    QString blocks;
    for (const auto& [channel, result] : entries) {
        if (channel.isEmpty())
            continue;
        ++count;
        blocks += RightAligned(channel, 2) + RightAligned(result, 6) + QLatin1Char(' ');
    }
    if (blocks.isEmpty())
        return {};
    return Stx + QLatin1Char(':') + Identification(sampleId) + RightAligned(QString::number(count), 2) +
           blocks + Etx;
}

void frmSimulate::sendInquiry()
{
    if (m_receiver)
        m_receiver(InquiryFrame(m_sampleIdEdit->text()));
}

void frmSimulate::sendResults()
{
    QList<std::pair<QString, QString>> entries;
    for (int i = 0; i < m_resultEdits.size(); ++i)
        entries.append({m_channelEdits[i]->text(), m_resultEdits[i]->text()});
    const QString frame = ResultsFrame(m_sampleIdEdit->text(), entries);
    if (!frame.isEmpty() && m_receiver)
        m_receiver(frame);
}

} // namespace Quorlix
