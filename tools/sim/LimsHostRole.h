#pragma once

#include "SimRole.h"

#include <QString>

namespace QuorlixSim {

class SimSession;

// A LIMS that plays the Hitachi host toward quorlix's Hitachi 912 emulation: it waits for the
// inquiries quorlix forwards and answers them with order frames from its script, waits for the
// results frames of finished samples and checks them, and answers the analyzer's polls (relayed by
// quorlix) with ">".
class LimsHostRole final : public SimRole
{
public:
    bool parse(const ScriptLine& line, SimStep& step, QString* error) override;
    QString help() const override;
    bool playsHost() const override { return true; }

private:
    // The next frame from quorlix that is not a poll; polls on the way are answered ">". Empty after
    // the time-out.
    QString nextFrame(SimSession& session, int timeoutMs);
    void send(SimSession& session, const QString& frame);

    // Positions 3-13 of the last inquiry (class, "1", number, "1", position, "5"): an order echoes
    // them.
    QString m_identification = QStringLiteral("A1000011 15");
};

// The order frame of a LIMS that plays the Hitachi host, from its layout: STX ";", positions 3-13
// (echoed from the inquiry), the sample id right-aligned in 13, five blanks, the collection date
// (month, day, year) and time (hour, minute) or blanks, "48", the 48-character selection, six
// presence flags, surname 30, forename 25, customer id 20, customer name 15, si_id 10, collector
// 20, ETX.
struct SimOrder
{
    QString identification;
    QString id;
    QString date; // MMDDYY, empty: absent
    QString time; // HHMM, empty: absent
    QString selection;
    QString fields[6];
    bool present[6] = {false, false, false, false, false, false};
};
QString OrderFrame(const SimOrder& order);
QString TubeNotFoundMessage();

} // namespace QuorlixSim
