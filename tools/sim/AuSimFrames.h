#pragma once

#include <QList>
#include <QString>

namespace QuorlixSim {

// The identification an AU analyzer sends with every request and result frame.
struct AuSample
{
    QString id; // up to 20 characters, sent left-aligned
    int rack = 1;
    int cup = 1;
};

struct AuResult
{
    int channel = 0;
    QString value; // as printed, right-aligned in 6
    QString flags; // up to 2
};

struct AuStandard
{
    int channel = 0;
    int standard = 1;
    QString readings[4]; // first absorbance, first initial, second absorbance, second initial
    QString flags;
};

// Frames of the AU line protocol written from its layout: STX, code 2, rack 4, cup 2, field 1,
// field 2 (4), id 20, five unread, blocks, ETX. With decimalComma (the AU680) values and readings
// are written with a comma.
QString AuRequestFrame(const QString& code, const AuSample& sample);
QString AuResultFrame(const QString& code, const AuSample& sample, const QList<AuResult>& results,
                      bool decimalComma);
QString AuCalibrationFrame(const QList<AuStandard>& standards, bool decimalComma);

// The host's order frame for a request (STX through ETX): "S", the request's second code character,
// the request's identification as received, four blanks, "E" and the channels.
QString AuOrderFrame(const QString& request, const QString& channels);
// The identification (positions 4 to 34) of a frame, and its code (positions 2 and 3).
QString AuIdentificationOf(const QString& frame);
QString AuCodeOf(const QString& frame);

} // namespace QuorlixSim
