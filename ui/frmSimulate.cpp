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
    auto* label1 = new QLabel(QStringLiteral("Sample_id:"), this);
    label1->setObjectName(QStringLiteral("Label1"));
    Text2 = new QLineEdit(QStringLiteral("10385236"), this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Command2 = new QPushButton(QStringLiteral("Request Sample:"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    layout->addWidget(label1, 0, 0);
    layout->addWidget(Text2, 0, 1);
    layout->addWidget(Command2, 0, 2);

    auto* label3 = new QLabel(QStringLiteral("Channel:"), this);
    label3->setObjectName(QStringLiteral("Label3"));
    auto* label2 = new QLabel(QStringLiteral("Result:"), this);
    label2->setObjectName(QStringLiteral("Label2"));
    layout->addWidget(label3, 1, 0);
    layout->addWidget(label2, 1, 1);
    for (int i = 0; i < ResultRows; ++i) {
        auto* channel = new QLineEdit(this);
        channel->setObjectName(QStringLiteral("tchannel%1").arg(i));
        auto* result = new QLineEdit(this);
        result->setObjectName(QStringLiteral("tresult%1").arg(i));
        tchannel << channel;
        tresult << result;
        layout->addWidget(channel, 2 + i, 0);
        layout->addWidget(result, 2 + i, 1);
    }
    tresult[0]->setText(QStringLiteral("72.38"));
    tresult[1]->setText(QStringLiteral("321.5"));

    Command3 = new QPushButton(QStringLiteral("A sends Results"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command1 = new QPushButton(QStringLiteral("send 'ANY?'"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    layout->addWidget(Command3, 2 + ResultRows, 1);
    layout->addWidget(Command1, 2 + ResultRows, 2);

    connect(Command2, &QPushButton::clicked, this, &frmSimulate::Command2_Click);
    connect(Command3, &QPushButton::clicked, this, &frmSimulate::Command3_Click);
    // Command1 has no action.
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

void frmSimulate::Command2_Click()
{
    if (m_receiver)
        m_receiver(InquiryFrame(Text2->text()));
}

void frmSimulate::Command3_Click()
{
    QList<std::pair<QString, QString>> entries;
    for (int i = 0; i < tresult.size(); ++i)
        entries.append({tchannel[i]->text(), tresult[i]->text()});
    const QString frame = ResultsFrame(Text2->text(), entries);
    if (!frame.isEmpty() && m_receiver)
        m_receiver(frame);
}

} // namespace Quorlix
