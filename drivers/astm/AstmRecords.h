#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace Quorlix::Astm {

// An ordered list of records without keys, addressed from 1 as the instrument numbers them.
template <typename T> class Collection
{
public:
    // Appends the item; the reference stays valid until the next Add or Remove.
    T& Add(T item)
    {
        m_items.append(std::move(item));
        return m_items.last();
    }
    // The item at a position 1..Count(); null outside.
    T* Item(qsizetype position) { return valid(position) ? &m_items[position - 1] : nullptr; }
    const T* Item(qsizetype position) const { return valid(position) ? &m_items[position - 1] : nullptr; }
    qsizetype Count() const { return m_items.size(); }
    // Removes the item at a position; false outside 1..Count().
    bool Remove(qsizetype position)
    {
        if (!valid(position))
            return false;
        m_items.removeAt(position - 1);
        return true;
    }
    void Clear() { m_items.clear(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    T& last() { return m_items.last(); }

    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    bool valid(qsizetype position) const { return position >= 1 && position <= m_items.size(); }
    QList<T> m_items;
};

// The ASTM E1394 records an instrument message is made of, as a tree: patients, their orders,
// the results of each order. Every field is text as it travels on the line.

// R: one test result.
struct Result
{
    QString RecordType;
    QString SequenceNr;
    QString TestID; // universal test id, "^^^" and the instrument's test code
    QString Result;
    QString Units;
    QString RefRanges;
    QString ResultFlags;
    QString Noname1;
    QString ResultStatus;
    QString Noname2;
    QString Noname3;
    QString Noname4;
    QString Datum; // date and time the test was completed
    QString AnalyzerID;
};
using Results = Collection<Result>;

// O: one order (test request) of a specimen.
struct Order
{
    Results results;
    QString RecordType;
    QString SequenceNr;
    QString SampleID;      // specimen id
    QString InstrSampleID; // instrument specimen id
    QString TestID;
};
using Orders = Collection<Order>;

// P: one patient with the orders of its specimens.
struct Patient
{
    Orders orders;
    QString RecordType;
    QString SequenceNr;
    QString PatID1; // practice assigned patient id
    QString SampleID;
    QString PatID2; // laboratory assigned patient id
    QString PatName;
    QString PatBirth; // P field 7
    QString PatSex;
    QString SenderID;
};
using Patients = Collection<Patient>;

// The delimiters of a message, declared by its header: "H", then the field, repeat, component and
// escape delimiters ("H|\\^&" for the usual "|", "\\", "^", "&").
struct Delimiters
{
    QChar field = QLatin1Char('|');
    QChar repeat = QLatin1Char('\\');
    QChar component = QLatin1Char('^');
    QChar escape = QLatin1Char('&');

    // Those a header record declares; the usual ones for a record that declares none.
    static Delimiters ofHeader(const QString& record);
    bool isUsual() const { return *this == Delimiters(); }
    bool operator==(const Delimiters&) const = default;
};

// A received record in the usual delimiters, its texts escaped for them: fields, repeats and
// components are cut at the delimiters the message declared, and an escaped delimiter (&F&, &R&,
// &S&, &E& with the declared escape character) stays text. A header keeps "H|\\^&".
QString UsualDelimiters(const QString& record, const Delimiters& declared);

// The text of a field or component of a record in the usual delimiters: its escape sequences
// &F&, &R&, &S&, &E& become the delimiter characters; other sequences stay as they are.
QString AstmUnescaped(QStringView text);

// The fields of a record text (numbered from 0; field 0 is the record type), split at "|".
QStringList AstmFields(const QString& record);
// Field n of a split record, empty where the record ends before it.
inline QString AstmField(const QStringList& fields, qsizetype n)
{
    return fields.value(n);
}
// The components of a field (numbered from 1 in the layouts), split at "^".
QStringList AstmComponents(const QString& field);

// Text taken from the database into a record we send: control characters would break the frame
// and become blanks; the delimiters "|", "\\", "^" and "&" are escaped (&F&, &R&, &S&, &E&), so
// that they cannot shift the fields or components.
QString AstmText(const QString& value);

} // namespace Quorlix::Astm
