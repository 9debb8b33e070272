#pragma once

#include "AuAbsorbance.h"

#include <QHash>
#include <QList>
#include <QString>

#include <optional>

namespace Quorlix {

class Database;

// What the AU drivers read from the laboratory database, for one analyzer. Every value is bound and
// every statement text is constant. A call returns false, with the database's error in `error`,
// when a statement fails.
class AuQueries
{
public:
    AuQueries(Database& db, QString analyzerId) : m_db(db), m_analyzerId(std::move(analyzerId)) {}

    // The parameter of every channel of this analyzer in param2channel (where a channel has several,
    // the lowest parameter id): one query for a whole frame.
    bool parameters(QHash<qint16, qint16>* byChannel, QString* error);

    // The test_def row of a parameter: whether there is one, and its method.
    struct TestDef
    {
        bool found = false;
        QString method;
    };
    bool testDef(qint16 parameterId, TestDef* out, QString* error);

    // The absorbance range of the latest calibration of the parameter on this analyzer; nothing when
    // it was never calibrated here.
    bool latestCalibration(qint16 parameterId, std::optional<CalibratedRange>* out, QString* error);

    // The standards the parameter's calibration is set up for (calib_base.stdcount); nothing when it
    // has no settings on this analyzer.
    bool standardCount(qint16 parameterId, std::optional<int>* out, QString* error);

    // The channels to order for an id, in channel order. A sample gets the channels of its
    // parameters in request; a control (isControl) those of its armed control_block parameters: of
    // its open control_results rows when it has any on this analyzer, else of control_def. Open
    // control rows stay (the AU order does not delete them).
    bool orderChannels(const QString& sampleId, bool isControl, QList<int>* channels, QString* error);

    // control_base.name of a control, empty when it has none.
    bool controlName(const QString& controlId, QString* name, QString* error);

private:
    Database& m_db;
    const QString m_analyzerId;
};

} // namespace Quorlix
