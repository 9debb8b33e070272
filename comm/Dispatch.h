#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

namespace Quorlix {

struct Context;

// The handler outside this program that serves the type "Mira" and the out-types "invH911" and
// "invH902". None is shipped; a site may provide one.
class ExternalHandler
{
public:
    virtual ~ExternalHandler() = default;
    virtual void HandleInput(const QString& text) = 0;
    virtual void HandleThroughput(const QString& text) = 0;
};

// The driver entry for input from the analyzer, by analyzer type and by whether a LIMS side is
// configured. An empty name: the input is read and dropped.
QString AnalyzerEntryFor(const QString& analyzerType, bool limsSide);
// The entry for input from the LIMS.
QString LimsEntryFor(const QString& outId, const QString& outType);

// Entry names that deliberately do nothing.
inline const QString SilentEntry = QStringLiteral("DsxReceiveWithLims");
inline const QString ExternalInput = QStringLiteral("HandleInput");
inline const QString ExternalThroughput = QStringLiteral("HandleThroughput");

// The switchboard between the two ports and the drivers. Each receive stamps its link's time and
// hands the text to the entry the tables choose; the analyzer type is read afresh every time,
// because the Indiko driver moves its conversation between handlers by changing it.
class Dispatcher : public QObject
{
    Q_OBJECT

public:
    using Entry = std::function<void(const QString&)>;

    explicit Dispatcher(Context& context, QObject* parent = nullptr);

    void registerEntry(const QString& name, Entry entry);
    void setExternalHandler(ExternalHandler* handler) { m_external = handler; }

    void analyzerReceived(const QString& text);
    void limsReceived(const QString& text);

private:
    void call(const QString& entry, const QString& text, const QString& port);

    Context& m_context;
    QHash<QString, Entry> m_entries;
    ExternalHandler* m_external = nullptr;
    QSet<QString> m_reported;
};

} // namespace Quorlix
