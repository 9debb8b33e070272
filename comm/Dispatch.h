#pragma once

#include "LinkState.h"

#include <QObject>
#include <QSet>
#include <QString>

namespace Quorlix {

class Clock;
class CommLog;
class LineHandler;

// The handler outside this program that serves the type "Mira" and the out-types "invH911" and
// "invH902". None is shipped; a site may provide one.
class ExternalHandler
{
public:
    virtual ~ExternalHandler() = default;
    virtual void HandleInput(const QString& text) = 0;
    virtual void HandleThroughput(const QString& text) = 0;
};

// Entry names that deliberately do nothing.
inline const QString SilentEntry = QStringLiteral("DsxReceiveWithLims");
inline const QString ExternalInput = QStringLiteral("HandleInput");
inline const QString ExternalThroughput = QStringLiteral("HandleThroughput");

bool IsExternalEntry(const QString& entry);

// The switchboard between the two lines and their handlers. Each receive stamps its link's time
// and hands the text to the handler chosen at start-up from the tables above (the settings do not
// change while the program runs); without one the text is read and dropped.
class Dispatcher : public QObject
{
    Q_OBJECT

public:
    Dispatcher(LinkState& link, const Clock& clock, CommLog& log, QObject* parent = nullptr);

    // The entry of each side and its handler (none: the text is dropped).
    void route(const QString& analyzerEntry, LineHandler* analyzer, const QString& limsEntry,
               LineHandler* lims);
    void setExternalHandler(ExternalHandler* handler) { m_external = handler; }

    void analyzerReceived(const QString& text);
    void limsReceived(const QString& text);

private:
    void call(const QString& entry, LineHandler* handler, const QString& text, const QString& port);

    LinkState& m_link;
    const Clock& m_clock;
    CommLog& m_log;
    QString m_analyzerEntry;
    QString m_limsEntry;
    LineHandler* m_analyzer = nullptr;
    LineHandler* m_lims = nullptr;
    ExternalHandler* m_external = nullptr;
    QSet<QString> m_reported;
};

} // namespace Quorlix
