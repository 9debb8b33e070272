#pragma once

#include <QList>
#include <QString>

namespace QuorlixSim {

enum class Model
{
    H911,
    H902,
    H912
};

struct SimResult
{
    int channel = 0;
    QString value; // as the analyzer prints it (right-aligned in 6)
    QChar alarm = QLatin1Char(' ');
};

struct SimStandard
{
    QString readings[4];
    QChar alarm = QLatin1Char(' ');
    QString prozone;
};

// Identification of one sample as the analyzer sends it.
struct SimSample
{
    QChar frameClass = QLatin1Char('A');
    QString id;
    int number = 1;
    int disc = 1;
    int position = 1;
};

// Frames a Hitachi analyzer sends to its host, written from the analyzer's frame layouts.
QString PollFrame();          // STX ">" ETX
QString RepeatRequestFrame(); // STX "?" ETX
QString InquiryFrame(Model model, const SimSample& sample);
QString ResultFrame(Model model, const SimSample& sample, const QList<SimResult>& results);
QString CalibrationFrame(Model model, int channel, QChar alarm, const QList<SimStandard>& standards,
                         const QString& sd);

// The selection carried by a host's order reply (empty when the reply is not one).
QString SelectionOfReply(Model model, const QString& reply);
int ExpectedReplyLength(Model model);

} // namespace QuorlixSim
