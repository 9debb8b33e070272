#pragma once

#include <QObject>
#include <QString>

namespace Quorlix {

// The operator's choice of what the next measurement belongs to, for an analyzer that sends no
// sample id (the ACT: ActNextSampleId and ActNextIsControl): set in the sample-ID window, read and
// consumed by the driver when the next message arrives. The window observes it through its
// signals; the driver knows no window.
class SampleChoice final : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // ActNextSampleId: empty when nothing is chosen (the next message is then not stored).
    QString nextSampleId() const { return m_id; }
    bool nextIsControl() const { return m_control; }

    void chooseSample(const QString& sampleId);
    void chooseControl(const QString& controlId);
    // Nothing is chosen: the next measurement is not filed under any sample.
    void ignore();
    // A message used the choice: a sample's choice ends as ignore() ends it; a control's id is
    // emptied while its button stays marked.
    void consume();
    // A message was read; the window resets the control buttons' font.
    void messageParsed() { emit parsed(); }

signals:
    void changed();
    // The choice was given up: the window clears its highlighting.
    void ignored();
    void parsed();

private:
    QString m_id;
    bool m_control = false;
};

} // namespace Quorlix
