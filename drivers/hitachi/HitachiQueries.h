#pragma once

#include "HitachiReply.h"
#include "OrderSelection.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Quorlix {

class Database;

// What the Hitachi drivers read from and clear in the laboratory database, for one analyzer. Every
// value is bound. A call that fails says so (nothing, or false) and hands back the database's error.
class HitachiQueries
{
public:
    HitachiQueries(Database& db, QString analyzerId) : m_db(db), m_analyzerId(std::move(analyzerId)) {}

    // The parameter of each channel, from param2channel, in one query. With ofThisAnalyzer only this
    // analyzer's rows count (the 902 and 912); otherwise a channel of any analyzer is taken, this
    // analyzer's first (the 911, and calibrations).
    std::optional<QHash<qint16, qint16>> parametersOfChannels(const QList<qint16>& channels,
                                                              bool ofThisAnalyzer, QString* error);

    // The patient and sample data of a 912 order reply (siId is the patient's); left empty when the
    // sample is unknown or cannot be read (false).
    bool patient(const QString& sampleId, Hit912Patient* patient, QString* error);

    // control_base.name of a control; nothing when it has none or it cannot be read.
    std::optional<QString> controlName(const QString& controlId);

    // Deletes the control's open (unanswered) control_results rows on this analyzer.
    bool deleteOpenControls(const QString& controlId, QString* error);

    // The channels 1..channelCount of an id's tests, in one query: the requests of a sample, or the
    // armed control_block parameters of a control's open control_results rows when it has any on
    // this analyzer, else of its control_def; and whether the id has such open rows.
    std::optional<OrderChannels> orderChannels(const QString& id, bool control, OrderQueries queries,
                                               int channelCount, QString* error);

private:
    Database& m_db;
    const QString m_analyzerId;
};

} // namespace Quorlix
