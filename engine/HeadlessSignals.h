#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT and SIGTERM into a Qt signal, so that a service stops through the same sequence as
// the "Stop Communication" button.
class HeadlessSignals : public QObject
{
    Q_OBJECT

public:
    explicit HeadlessSignals(QObject* parent = nullptr);
    ~HeadlessSignals() override;

signals:
    void stopRequested();

private:
    QSocketNotifier* m_notifier = nullptr;
};
