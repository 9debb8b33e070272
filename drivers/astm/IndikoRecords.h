#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Quorlix::Indiko {

// The records the Indiko and its host exchange (ASTM E1394), read and written without I/O.
// Record texts are without framing and without their CR; fields are numbered from 0.

// Queries collected before they are answered, and tests ordered for one query.
inline constexpr int MaxQueries = 50;
inline constexpr int MaxTests = 220;
// The results one message may carry: the tests of every query of a batch.
inline constexpr int MaxMessageResults = MaxQueries * MaxTests;

// H: the message time of field 13 (yyyyMMddHHmmss) to the minute; invalid when it is none.
QDateTime ParseIndikoHeader(const QString& record);

// Q: the queried sample id (field 2) and the test field (field 4), carets removed: "^^^ALL" is
// "ALL".
struct IndikoQuery
{
    QString sampleId;
    QString tests;
};
IndikoQuery ParseIndikoQuery(const QString& record);

// O: the specimen id, disc and position of field 2 ("id^^disc^position"); an id without that
// form is taken whole, with disc and position "0".
struct IndikoOrder
{
    QString sampleId;
    QString disc;
    QString position;
    QString reportType; // field 25
};
IndikoOrder ParseIndikoOrder(const QString& record);

// R: the test code (component 4 of field 2, after the three carets) and the value (field 3).
struct IndikoResult
{
    QString testCode;
    QString value;
};
IndikoResult ParseIndikoResult(const QString& record);

// C: the comment text (field 3).
QString ParseIndikoComment(const QString& record);

// The host's header, with the moment as 14 digits.
QString IndikoHeaderRecord(const QDateTime& now);
// P: the name (at most 25 characters) in field 2, surname^forename in field 5, 34 fields in all.
QString IndikoPatientRecord(const QString& surname, const QString& forename);

// What is ordered for a query.
struct IndikoOrderRequest
{
    QString sampleId;     // as the query named it
    bool allTests = true; // the query asked for "ALL" tests
    QStringList tests;    // test codes (testiddsx)
    QString specimenCode; // "1" serum, "3" urine or unknown
};
// O records of the answer. Single mode: one record with every test as "^^^code", joined with
// "\" (an empty record when the query did not ask for all tests). MULTI mode: one record per test,
// numbered 1, 2 ... A query with no test gets the one record of report type "X" (field 4 empty),
// in MULTI mode also when it did not ask for all tests, so that its answer has an O frame.
QStringList IndikoOrderRecords(const IndikoOrderRequest& request, bool multi);
// The O record of the cancel message for a specimen.
QString IndikoCancelOrderRecord(const QString& sampleId);
QString IndikoTerminatorRecord();

} // namespace Quorlix::Indiko
