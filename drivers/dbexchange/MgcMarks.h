#pragma once

#include "store/DbOutcome.h"

#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Quorlix {

class Database;
class MgcContext;

// A measurement the MGC240's database holds is taken (stored) or quarantined once; its mark in
// quorlix_log says so. The analyzer's own tables have no column that could say it: every column of
// samp_dat and samp_odr means something to its program, and a calibration row has no state at all.
//
// "mgc_taken": a sample's result stored into request, written in the same transaction. A test
//   ordered again for the sample then finds the old measurement taken and is measured anew.
//   Kept TakenMarkDays.
// "mgc_quarantined": a record the laboratory database refused, kept in the quarantine; its
//   measurements are not taken again.
// A mark is the analyzer id and a fingerprint of the measurement, as a frame's fingerprint.
const QString MgcTakenKey = QStringLiteral("mgc_taken");
const QString MgcQuarantinedKey = QStringLiteral("mgc_quarantined");
constexpr int TakenMarkDays = 7;

QString MgcResultMark(const QString& analyzerId, const QString& sampleId, qint16 parameterId,
                      const QString& measuredAt, double value);
QString MgcControlMark(const QString& analyzerId, const QString& controlId, qint16 parameterId,
                       const QString& measuredAt, double value);
QString MgcCalibrationMark(const QString& analyzerId, qint16 parameterId, const QString& calibratedAt);

// Which of the marks are there: taken ones, and quarantined ones (also those of this run whose
// mark could not be written). Empty on success, else the error.
QString FindMgcMarks(MgcContext& ctx, const QStringList& marks, QSet<QString>* taken,
                     QSet<QString>* quarantined);

DbOutcome InsertMgcMark(Database& db, const QString& key, const QString& mark, const QVariant& stamp);

// Taken marks older than TakenMarkDays go (quarantine marks stay: the record is in the quarantine).
void PurgeMgcMarks(MgcContext& ctx);

} // namespace Quorlix
