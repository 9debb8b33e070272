#pragma once

#include "AstmRecords.h"
#include "DsxQueries.h"
#include "E1381Session.h"
#include "comm/LineHandler.h"
#include "core/OrderReplyTime.h"
#include "drivers/DriverServices.h"

#include <QString>
#include <QStringList>

namespace Quorlix {

class CommLog;
class JobKind;
class Store;
struct Settings;

// The host side of a Dynex DSX on the analyzer port, on an ASTM E1381 link. The DSX sends each
// message as one chain of frames (ETB after every record but the last). A message is used once its
// terminator (L) arrived; one that ends before it is discarded. A result message (H, P,
// O, R ..., L) is stored in one transaction; a query message (H, Q ..., L) is answered, after
// the DSX's EOT, with a message listing the requests of the queried samples ("ALL": of every
// sample), built from request, sample_base, patients and param2channel.
class DsxDriver final : public LineHandler, private E1381Owner
{
public:
    // What one received message may hold before it is given up.
    static constexpr qsizetype MaxMessageCharacters = 8 * 1024 * 1024;

    explicit DsxDriver(const DriverServices& services);
    ~DsxDriver() override;

    // DsxReceive: a piece of text from the analyzer port.
    void receive(const QString& text) override;

    // The answer data for the query ids: a patient per sample, an order per request with a
    // channel of this analyzer; false (with a Monitor line) when the database cannot be read.
    bool CollectDsxAnswer(const QStringList& ids, Astm::Patients& patients);

private:
    void received(const QString& text) override;
    void record(const QString& record) override;
    void messageEnded() override;
    void messageAborted() override;
    void sendCompleted(int tag) override;
    void sendFailed(int tag, const QString& why) override;

    void handleMessage();
    void discardIncomplete();
    void monitor(const QString& text);

    const Settings& m_settings;
    DsxQueries m_queries;
    CommLog& m_log;
    Store& m_store;
    const JobKind& m_kind;
    E1381Session m_session;
    QStringList m_records; // of the message being received
    qsizetype m_characters = 0;
    bool m_tooLong = false;
    OrderReplyQueue m_replies; // the answers being sent
};

} // namespace Quorlix
