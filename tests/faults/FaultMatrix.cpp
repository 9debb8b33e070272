#include "FaultMatrix.h"

#include <QHash>

namespace Quorlix::Test {

namespace {

struct FaultGroup
{
    Fault fault;
    QStringList kinds;
    bool refusesOne = false;
};

const QStringList Lines{"H911",   "H902",   "H912", "AU400", "AU600", "AU680", "AU400L",
                        "AU600L", "AU680L", "IND",  "DSX",   "H902L", "H911L"};
const QStringList Storing = Lines + QStringList{"MGC"};
const QStringList Astm{"IND", "DSX", "ACT"};
const QStringList Queried{"H911", "H902", "H912", "AU400", "AU600", "AU680", "IND", "DSX"};
const QStringList WithLims{"H902L", "H911L", "AU400L", "AU600L", "AU680L", "MGCON"};

// Which faults apply to which kinds. A fault that cannot strike a kind is not a cell: the ACT stores
// nothing without its window, the MGC240 and the online tables have no line, only the AU600 behind
// a LIMS allocates sample ids, only instances that answer queries from the database can answer
// one stale.
const QList<FaultGroup>& Groups()
{
    static const QList<FaultGroup> groups{
        {Fault::DatabaseDownAtStart, Storing + QStringList{"MGCON"}},
        {Fault::DatabaseDownMidMessage, Storing},
        {Fault::KillBetweenFrames, Storing + QStringList{"ACT", "MGCON"}},
        {Fault::SenderAborts, Astm},
        {Fault::BadChecksums, Astm},
        {Fault::GarbledReply, {"IND", "DSX"}},
        {Fault::TriggerRefuses, Storing, true},
        {Fault::LimsStopped, WithLims},
        {Fault::TwoInstances, {"AU600L"}},
        {Fault::OrderBetweenQueries, Queried},
        {Fault::SecondInstanceDayShift, Queried.mid(0, 7) + QStringList{"MGC"}},
    };
    return groups;
}

// Cells that fail on the code as it is, by tag, with what was seen. Empty it as the fixes arrive: a
// cell listed here that passes fails the test (XPASS), unless its fault is a race (always false).
const QHash<QString, KnownFailure>& KnownFailures()
{
    static const QHash<QString, KnownFailure> known = [] {
        QHash<QString, KnownFailure> list;
        const auto add = [&list](const QStringList& kinds, Fault fault, const QString& reason,
                                 bool always = true) {
            for (const QString& kind : kinds)
                list.insert(MatrixCell{kind, fault}.tag(), {reason, always});
        };
        const QStringList au{"AU400", "AU600", "AU680", "AU400L", "AU600L", "AU680L"};
        const QString countUnread = "a calibration whose standard count cannot be read is stored with the "
                                    "standards received so far: one calibration per standard";
        add(au, Fault::DatabaseDownAtStart, countUnread);
        add(au, Fault::DatabaseDownMidMessage, countUnread);
        add(au.mid(0, 3), Fault::KillBetweenFrames,
            "standards waiting in memory for the rest of their calibration are lost by a restart");
        add(au.mid(3), Fault::KillBetweenFrames,
            "standards waiting in memory are lost by a restart; a control frame sent again goes to the LIMS "
            "as "
            "\"DQ\" twice");
        add({"IND"}, Fault::DatabaseDownAtStart,
            "results whose test code is not cached are dropped while the database is away (\"Received "
            "unknown "
            "parameter\")");
        add({"H902L"}, Fault::DatabaseDownAtStart,
            "the LIMS's order reaches the analyzer as an all-zero selection: the channel map is empty while "
            "the "
            "database is away");
        add({"MGC"}, Fault::KillBetweenFrames,
            "controls measured while quorlix was stopped are withdrawn at start before they are fetched",
            false);
        add({"IND"}, Fault::SenderAborts, "the records of a message the analyzer gave up are stored");
        add({"DSX"}, Fault::SenderAborts,
            "a message ended by EOT before its L record is stored as complete; its complete resend is stored "
            "again");
        add({"IND", "DSX"}, Fault::GarbledReply,
            "a reply that is neither ACK, NAK nor EOT is not taken as a NAK: the frame is not sent again, "
            "the "
            "answer is given up with EOT after 15 s");
        add({"MGC"}, Fault::TriggerRefuses,
            "a sample the database refuses is not quarantined: it is fetched and refused again on every "
            "tick");
        add({"H902L", "H911L"}, Fault::LimsStopped,
            "results frames written while the LIMS is stopped are taken as delivered: lost to the LIMS");
        add({"MGCON"}, Fault::LimsStopped,
            "MGC online frames wait for no answer: those written while the LIMS is stopped are lost to it");
        add({"AU600L"}, Fault::TwoInstances, "two instances hand out the same sample id: two samples merged",
            false);
        add({"H911", "H902", "H912", "AU400", "AU600", "AU680", "IND", "MGC"}, Fault::SecondInstanceDayShift,
            "the control blocks are not armed: only the instance that writes the day's rows re-arms its own");
        return list;
    }();
    return known;
}

} // namespace

QString FaultName(Fault fault)
{
    switch (fault) {
    case Fault::DatabaseDownAtStart:
        return "database down at start";
    case Fault::DatabaseDownMidMessage:
        return "database down mid-message";
    case Fault::KillBetweenFrames:
        return "SIGKILL between two frames";
    case Fault::SenderAborts:
        return "sender aborts mid-message";
    case Fault::BadChecksums:
        return "bad checksums and NAK storms";
    case Fault::GarbledReply:
        return "garbled reply to our frame";
    case Fault::TriggerRefuses:
        return "record refused by a trigger";
    case Fault::LimsStopped:
        return "LIMS stopped, port open";
    case Fault::TwoInstances:
        return "two instances allocating sample ids";
    case Fault::OrderBetweenQueries:
        return "order filed between two queries";
    case Fault::SecondInstanceDayShift:
        return "second instance after the day's rows";
    }
    return {};
}

QString MatrixCell::name() const
{
    return kind + " × " + FaultName(fault);
}

QString MatrixCell::tag() const
{
    return kind + ": " + FaultName(fault);
}

const QList<MatrixCell>& MatrixCells()
{
    static const QList<MatrixCell> cells = [] {
        QList<MatrixCell> list;
        for (const FaultGroup& group : Groups())
            for (const QString& kind : group.kinds)
                list.append({kind, group.fault, group.refusesOne});
        return list;
    }();
    return cells;
}

const QList<SiteKind>& MatrixKinds()
{
    static const QList<SiteKind> kinds = [] {
        QList<SiteKind> list = SiteKinds();
        list.append({"H911L", "H911", "911", "HIT911", "invH912", "LIMS", "", Filed::RawResults, true, 8, 0});
        list.append(
            {"AU600L", "OAU600", "au600", "AU600", "invOAU600", "LIMS", "", Filed::RawResults, false, 1, 0});
        list.append(
            {"AU680L", "OAU680", "au680", "AU680", "invOAU400", "LIMS", "", Filed::RawResults, false, 1, 0});
        return list;
    }();
    return kinds;
}

const SiteKind* MatrixKind(const QString& label)
{
    for (const SiteKind& kind : MatrixKinds())
        if (kind.label == label)
            return &kind;
    return nullptr;
}

const KnownFailure* KnownFailureOf(const MatrixCell& cell)
{
    const auto& known = KnownFailures();
    const auto it = known.constFind(cell.tag());
    return it == known.cend() ? nullptr : &it.value();
}

MatrixSize ShortForm()
{
    return {};
}

MatrixSize FullForm()
{
    return {20, 20000, 10000};
}

QString MatrixTable()
{
    QString header = "| kind | switches |";
    QString rule = "| --- | --- |";
    for (const FaultGroup& group : Groups()) {
        header += " " + FaultName(group.fault) + " |";
        rule += " :-: |";
    }
    QString table = header + "\n" + rule + "\n";
    for (const SiteKind& kind : MatrixKinds()) {
        QString row = "| " + kind.label + " | /type=" + kind.type +
                      (kind.outType.isEmpty() ? QString() : " /outtype=" + kind.outType) + " |";
        for (const FaultGroup& group : Groups()) {
            const MatrixCell cell{kind.label, group.fault};
            row += !group.kinds.contains(kind.label) ? " |" : KnownFailureOf(cell) ? " known |" : " x |";
        }
        table += row + "\n";
    }
    return table;
}

} // namespace Quorlix::Test
