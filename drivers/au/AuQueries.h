#pragma once

#include "AuAbsorbance.h"
#include "store/DbOutcome.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Quorlix {

class Database;

// What the AU drivers read from the laboratory database, for one analyzer. Every value is bound and
// every statement text is constant. A call hands back how its statement ended.
class AuQueries
{
public:
    AuQueries(Database& db, QString analyzerId) : m_db(db), m_analyzerId(std::move(analyzerId)) {}

    // The parameter of every channel of this analyzer in param2channel (where a channel has several,
    // the lowest parameter id): one query for a whole frame.
    DbOutcome parameters(QHash<qint16, qint16>* byChannel);

    // The test_def row of a parameter: whether there is one, and its method.
    struct TestDef
    {
        bool found = false;
        QString method;
    };
    DbOutcome testDef(qint16 parameterId, TestDef* out);

    // The absorbance range of the latest calibration of the parameter on this analyzer; nothing when
    // it was never calibrated here.
    DbOutcome latestCalibration(qint16 parameterId, std::optional<CalibratedRange>* out);

    // The standards the parameter's calibration is set up for (calib_base.stdcount); nothing when it
    // has no settings on this analyzer.
    DbOutcome standardCount(qint16 parameterId, std::optional<int>* out);

    // The channels to order for an id, in channel order. A sample gets the channels of its
    // parameters in request; a control (isControl) those of its armed control_block parameters: of
    // its open control_results rows when it has any on this analyzer, else of control_def. Open
    // control rows stay (the AU order does not delete them).
    DbOutcome orderChannels(const QString& sampleId, bool isControl, QList<int>* channels);

    // control_base.name of a control, empty when it has none.
    DbOutcome controlName(const QString& controlId, QString* name);

private:
    Database& m_db;
    const QString m_analyzerId;
};

} // namespace Quorlix
