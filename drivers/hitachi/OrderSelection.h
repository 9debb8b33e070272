#pragma once

#include <QList>
#include <QString>

namespace Quorlix {

class Database;

// Which set of order queries an analyzer uses. The 911 and 912 select 48 channels; the 902 selects
// 37 and, for controls, reads the armed parameters of control_block regardless of the analyzer.
enum class OrderQueries
{
    Hit911,
    Hit902
};

struct OrderSelectionRules
{
    QString analyzerId;
    QString controlMask; // ids that match it are controls
    OrderQueries queries = OrderQueries::Hit911;

    int channelCount() const { return queries == OrderQueries::Hit902 ? 37 : 48; }
};

// What an id's order reply is made of: the channels of its tests (any order, repeats allowed) and
// whether it has open control_results rows on this analyzer.
struct OrderChannels
{
    bool openControls = false;
    QList<int> channels;
};

struct SelectionOutcome
{
    bool ok = false;
    QString selection; // one character per channel: "1" to measure, "0" not
    QString error;     // ok: a failed clean-up; not ok: why no selection could be made
};

// The test selection of an order reply for one sample or control id.
//
// A sample gets "1" on every channel of this analyzer that maps a parameter it has in `request`.
// A control gets "1" on the channels of its armed control_block parameters: those of its open
// control_results rows when it has any for this analyzer, else those of control_def. The open
// control rows of the id for this analyzer are deleted once the selection is made: the results
// that follow bring their own rows.
class OrderSelector
{
public:
    OrderSelector(Database& db, OrderSelectionRules rules) : m_db(db), m_rules(std::move(rules)) {}
    virtual ~OrderSelector() = default;
    OrderSelector(const OrderSelector&) = delete;
    OrderSelector& operator=(const OrderSelector&) = delete;

    SelectionOutcome select(const QString& sampleId);

protected:
    // Reads what the id's reply is made of (a control's channels from the source its open rows
    // choose); false with the reason when a query failed.
    virtual bool read(const QString& id, bool control, OrderChannels& found, QString& error) = 0;

    Database& m_db;
    const OrderSelectionRules m_rules;
};

// One query for everything: an inquiry costs one round trip (plus the deletion, when the id has
// open controls).
class OrderSelection final : public OrderSelector
{
public:
    using OrderSelector::OrderSelector;

protected:
    bool read(const QString& id, bool control, OrderChannels& found, QString& error) override;
};

} // namespace Quorlix
