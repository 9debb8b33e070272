#pragma once

#include <QDateTime>
#include <QHash>
#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace Quorlix {

class ChannelMap;
class ItemNames;
class MgcContext;

using MgcControlParameter = QPair<QString, qint16>;

// A samp_dat row of a control.
struct MgcControlItem
{
    qint16 item = 0;
    int dataState = 0;
    QDateTime measuredAt;
    QVariant value;
};

// What the MGC240 holds of this analyzer's controls and what of it is settled, read once a tick
// before anything is taken or ordered.
struct MgcControlsView
{
    QList<MgcControlParameter> armed;              // control_block of this analyzer, each row once
    QStringList controls;                          // the armed controls, each once
    QHash<QString, QList<MgcControlItem>> items;   // samp_dat rows by control
    QHash<QString, QList<QPair<int, int>>> orders; // samp_odr rows by control: samp_state, ord_total
    QHash<MgcControlParameter, QString> latest;    // newest stored result ("yyyyMMdd HH:mm:ss")
    // Measured rows ("control|item") whose result is stored, quarantined or can never be taken (no
    // parameter, no time, no number): only these may be withdrawn.
    QSet<QString> settled;

    static QString key(const QString& control, qint16 item)
    {
        return control + QLatin1Char('|') + QString::number(item);
    }
};

// Empty on success, else the error (reported by the caller).
QString ReadMgcControls(MgcContext& ctx, const ChannelMap& channels, MgcControlsView* view);

// Each MGC240 cycle, before any control is ordered: the measured results of the armed controls into
// control_results and control_block, each measurement (rst_date) once. Returns the number stored;
// what is stored or quarantined becomes settled in the view.
int MgcFetchControls(MgcContext& ctx, const ChannelMap& channels, MgcControlsView& view);

// The orders of the controls on the MGC240. Nothing measured is withdrawn before it is settled, and
// nothing is ordered anew while the analyzer works on it.
class MgcControlOrders
{
public:
    // Every control armed for this analyzer is ordered once in this run, as soon as what it holds
    // is settled (the start-up registration); a control that failed is tried again on the next
    // tick, alone. A control ordered with three items or more is ordered anew once the analyzer
    // has finished it and its results are settled.
    void MgcRegisterControls(MgcContext& ctx, const ChannelMap& channels, const ItemNames& names,
                             const MgcControlsView& view);

private:
    QSet<QString> m_registered;
};

} // namespace Quorlix
