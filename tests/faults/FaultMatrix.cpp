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
// The MGC online frames are answered by nothing the LIMS must send: they cannot wait for it.
const QStringList WithLims{"H902L", "H911L", "AU400L", "AU600L", "AU680L"};

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

// Cells that fail on the code as it is, by tag ("KIND: fault"), with what was seen; none today. A
// cell listed here that passes fails the test (XPASS), unless its fault is a race (always false).
const QHash<QString, KnownFailure>& KnownFailures()
{
    static const QHash<QString, KnownFailure> known;
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
