#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

namespace Quorlix {

// "Hitachi Simulation": plays a Hitachi 911 for testing. It builds an inquiry or a results frame
// from the operator's entries and hands it to the receive handler as if it had come from the
// analyzer port; it writes to no port itself.
class frmSimulate final : public QWidget
{
    Q_OBJECT

public:
    using Receiver = std::function<void(const QString& received)>;
    static constexpr int ResultRows = 10;

    explicit frmSimulate(Receiver receiver, QWidget* parent = nullptr);

    // The frames the buttons send, for a sample id and (channel, result) entries.
    static QString InquiryFrame(const QString& sampleId);
    static QString ResultsFrame(const QString& sampleId, const QList<std::pair<QString, QString>>& entries);

private:
    void sendInquiry(); // "Request Sample:"
    void sendResults(); // "A sends Results"

    Receiver m_receiver;
    QLineEdit* m_sampleIdEdit = nullptr;
    QList<QLineEdit*> m_channelEdits;
    QList<QLineEdit*> m_resultEdits;
    QPushButton* m_inquiryButton = nullptr;
    QPushButton* m_resultsButton = nullptr;
    QPushButton* m_anyButton = nullptr; // "send 'ANY?'": no action
};

} // namespace Quorlix
