#pragma once

#include "store/Records.h"

#include <QString>
#include <QStringList>

#include <array>

namespace Quorlix {

// What the parsers of the Hitachi 911, 902 and 912 frames read from one frame: the identification
// fields of the frame record, the sample's id, disc and position, the results (channel, value and
// data alarm; the parameter of each channel is looked up by the driver) and the calibration record.
//
// A parser starts from the values of the previous frame: the 911 and 912 parsers keep the fields a
// frame does not carry, the 902 parser empties the text fields first. The driver copies the shared
// records in before parsing and the parsed ones back afterwards.
struct HitachiFrame
{
    enum class Content
    {
        Other,
        Results,
        Inquiry,
        Calibration
    };

    Content content = Content::Other;
    HitachiFrameRecord record;
    QString sampleId; // the record's SampleId, every blank removed
    QString sampleDisc;
    QString samplePos;
    qint16 resultCount = 0;
    std::array<ResultEntry, MaxResults> results;
    CalibrationRecord calibration;

    // The frame cannot be used (cut short, counts that are not numbers or out of range): nothing of
    // it is stored and the analyzer is answered ">".
    bool rejected = false;
    // What was wrong with the frame, one monitor line each; results that could not be read are
    // left out of `results` and named here.
    QStringList problems;
};

// Hitachi 911: ":" results (classes A, B, G in either case; a routine value of six blanks becomes
// "NULL"), ":" class M calibrations and ";" inquiries.
void ParseHit911Frame(const QString& frame, HitachiFrame& into);

// Hitachi 902: ":" results (classes A, D), ":" class G calibrations and ";" inquiries. Starts every
// frame from empty text fields.
void ParseHit902Frame(const QString& frame, HitachiFrame& into);

// Hitachi 912: ":" results (classes A to D), ":" class G calibrations and ";" inquiries.
void ParseHit912Frame(const QString& frame, HitachiFrame& into);

} // namespace Quorlix
