#include "HitachiAnalyzerFrames.h"

#include "core/FrameText.h"

namespace QuorlixSim {

namespace {

const QString STX = QStringLiteral("\x02");
const QString ETX = QStringLiteral("\x03");

// Month, day, year, hour, minute of a fixed run date, as the analyzer stamps its frames.
const QString RunDate = QStringLiteral("120726");
const QString RunTime = QStringLiteral("1039");

QString Blocks(Model model, const QList<SimResult>& results)
{
    QString out;
    for (const SimResult& r : results) {
        out += Quorlix::RightAligned(QString::number(r.channel), model == Model::H902 ? 3 : 2);
        out += Quorlix::RightAligned(r.value, 6);
        out += r.alarm;
    }
    return out;
}

} // namespace

QString PollFrame()
{
    return STX + QLatin1Char('>') + ETX;
}

QString RepeatRequestFrame()
{
    return STX + QLatin1Char('?') + ETX;
}

namespace {

// The identification part shared by inquiry and result frames (from position 3 on).
QString Identification(Model model, const SimSample& s)
{
    switch (model) {
    case Model::H911:
        // class, mark, number(3), disc, position(2), id(13), info1(4), info2, date(6), time(4)
        return QString(s.frameClass) + QLatin1Char(' ') +
               Quorlix::RightAligned(QString::number(s.number), 3) + QString::number(s.disc % 10) +
               Quorlix::RightAligned(QString::number(s.position), 2) + Quorlix::RightAligned(s.id, 13) +
               QStringLiteral("   3") + QLatin1Char(' ') + RunDate + RunTime;
    case Model::H902:
        // class, mark, number(5), one unread, position(3), id(13), fifteen unread
        return QString(s.frameClass) + QLatin1Char(' ') +
               Quorlix::RightAligned(QString::number(s.number), 5) + QLatin1Char(' ') +
               Quorlix::RightAligned(QString::number(s.position), 3) + Quorlix::RightAligned(s.id, 13) +
               QString(15, QLatin1Char(' '));
    case Model::H912:
        // class, flag1, number(5), disc, position(2), flag2, id(13), five unread, date(6), time(4), six
        // unread
        return QString(s.frameClass) + QLatin1Char('0') +
               Quorlix::RightAligned(QString::number(s.number), 5) + QString::number(s.disc % 10) +
               Quorlix::RightAligned(QString::number(s.position), 2) + QLatin1Char('0') +
               Quorlix::RightAligned(s.id, 13) + QString(5, QLatin1Char(' ')) + RunDate + RunTime +
               QString(6, QLatin1Char(' '));
    }
    return {};
}

} // namespace

QString InquiryFrame(Model model, const SimSample& sample)
{
    return STX + QLatin1Char(';') + Identification(model, sample) + ETX;
}

QString ResultFrame(Model model, const SimSample& sample, const QList<SimResult>& results)
{
    const int countWidth = model == Model::H902 ? 3 : 2;
    return STX + QLatin1Char(':') + Identification(model, sample) +
           Quorlix::RightAligned(QString::number(results.size()), countWidth) + Blocks(model, results) + ETX;
}

QString CalibrationFrame(Model model, int channel, QChar alarm, const QList<SimStandard>& standards,
                         const QString& sd)
{
    QString blocks;
    for (int i = 0; i < standards.size(); ++i) {
        const SimStandard& s = standards.at(i);
        blocks += QString::number((i + 1) % 10);
        for (const QString& reading : s.readings)
            blocks += Quorlix::RightAligned(reading, 6);
        blocks += s.alarm;
        blocks += Quorlix::RightAligned(s.prozone, 6);
    }
    const QString count = QString::number(standards.size() % 10);
    switch (model) {
    case Model::H911:
        return STX + QStringLiteral(":M") + Quorlix::RightAligned(QString::number(channel), 2) + count +
               alarm + blocks + ETX;
    case Model::H902:
        return STX + QStringLiteral(":G ") + Quorlix::RightAligned(QString::number(channel), 3) + count +
               alarm + blocks + Quorlix::RightAligned(sd, 8) + ETX;
    case Model::H912:
        return STX + QStringLiteral(":G") + QString(7, QLatin1Char(' ')) +
               Quorlix::RightAligned(QString::number(channel), 2) + count + alarm + blocks +
               (sd.isEmpty() ? QString() : QLatin1Char('Y') + Quorlix::RightAligned(sd, 7)) + ETX;
    }
    return {};
}

int ExpectedReplyLength(Model model)
{
    switch (model) {
    case Model::H911:
        return 92;
    case Model::H902:
        return 85;
    case Model::H912:
        return 216;
    }
    return 0;
}

QString SelectionOfReply(Model model, const QString& reply)
{
    if (!reply.startsWith(QLatin1Char(';')))
        return {};
    switch (model) {
    case Model::H911:
        return reply.mid(39, 48);
    case Model::H902:
        return reply.mid(43, reply.size() - 43 - 5);
    case Model::H912:
        return reply.mid(42, reply.size() - 42 - 6 - 120);
    }
    return {};
}

} // namespace QuorlixSim
