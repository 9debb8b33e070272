#include "MatrixScripts.h"

#include <QDateTime>

namespace Quorlix::Test {

namespace {

// Parameters 1 to 5 by their ASTM codes, and their results; a control's results for 1 to 6.
const QStringList Codes{"GLU", "CREA", "UREA", "ALT", "AST"};
const QStringList Values{"95.2", "0.91", "30", "22", "32"};
const QString ChannelValues = "1=95.2 2=0.91 3=30 4=22 5=32";
const QString ControlValues = "1=91 2=1.01 3=30 4=31 5=38 6=101";
const QString IndikoHeader = "H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|";
const QString DsxHeader = "H|\\^&|||DSX^1|||||LIMS||P|1|";

bool Outage(Fault f)
{
    return f == Fault::DatabaseDownAtStart || f == Fault::DatabaseDownMidMessage;
}

bool MidMessage(Fault f)
{
    return f == Fault::DatabaseDownMidMessage || f == Fault::KillBetweenFrames;
}

// The sample whose message the fault strikes: the middle one.
int Struck(int samples)
{
    return samples / 2 + 1;
}

// A Hitachi order reply's selection with these channels (1-based) set.
QString Bits(const SiteKind& kind, const QList<int>& channels)
{
    QString bits(kind.role == "902" ? 37 : 48, QChar('0'));
    for (const int c : channels)
        bits[c - 1] = QChar('1');
    return bits;
}

QString AuChannels(const QList<int>& channels)
{
    QString text;
    for (const int c : channels)
        text += QString("%1").arg(c, 2, 10, QChar('0'));
    return text;
}

// The time in the header of message n: one minute apart.
QString Time(int n)
{
    return QDateTime(QDate(2026, 1, 5), QTime(9, 0)).addSecs(60 * n).toString("yyyyMMddHHmmss");
}

QString IndikoQuery(const QString& id, int n, const QStringList& codes)
{
    QStringList tests;
    for (const QString& code : codes)
        tests << "^^^" + code;
    const bool control = id.startsWith("QC");
    return "send " + IndikoHeader + Time(n) + "; Q|1|^" + id + "||^^^ALL; L|1|N\n" +
           "expect-answer H|\\^&|||1^quorlix^1.0|||||1^Indiko Basic^2.0||P|1|{time}; P|1|{*}|||{*}" +
           QString(28, '|') + "; O|1|" + id + "^0.0^0^0^||" + tests.join('\\') + "|R||||||N||||" +
           (control ? "{*}" : "1") + "||||||||||O; L|1|N\n";
}

QString DsxQuery(const QString& id, int n, int orders)
{
    QString answer;
    for (int k = 0; k < orders; ++k)
        answer += QString("O|%1|").arg(k + 1) + id + "||^^^" + Codes.at(k) +
                  "|R|20030821195400||||||||20030821195400|P||||||||||O; ";
    return "send " + DsxHeader + Time(n) + "; Q|1|" + id + "; L|1|N\n" +
           "expect-answer H|\\^&|||{*}|||||DSX^1||P|1|" + Time(n) + "; P|1|1|" + id + "|na|^|||F|||||{*}; " +
           answer + "L|1|F\n";
}

QString ResultRecords(const QString& unit)
{
    QString records;
    for (int k = 0; k < Codes.size(); ++k)
        records += QString("R|%1|^^^").arg(k + 1) + Codes.at(k) + "|" + Values.at(k) + "|" + unit + "; ";
    return records;
}

// The faults an ASTM result message of sample n carries (frame 5 is its second result record).
QString AstmFaults(Fault fault, int n, int samples)
{
    if (MidMessage(fault) && n == Struck(samples))
        return "hold 5 2000\n";
    if (fault == Fault::SenderAborts && n == 2)
        return "abort 5\n";
    if (fault == Fault::SenderAborts && n == 3)
        return "abort 5 drop\n";
    if (fault == Fault::BadChecksums && n == 1)
        return "corrupt 4 5\n";
    return {};
}

// The faults of the answer to sample n's query: a storm of NAKs, or a garbled ACK.
QString AnswerFaults(Fault fault, int n)
{
    if (fault == Fault::BadChecksums && n == 1)
        return "nak 2 5\n";
    if (fault == Fault::GarbledReply && n == 1)
        return "garble 2\n";
    return {};
}

// Queries before the run: a sample and a control asked twice with an order (and an open control
// row) filed in between, or the control's armed tests on an instance that did not write the day's
// rows itself.
QString QueriesFirst(const SiteKind& kind, Fault fault, const QString& prefix)
{
    const QString x = QueriedSample(prefix);
    const QString& role = kind.role;
    const bool hitachi = role == "911" || role == "902" || role == "912";
    const bool au = role.startsWith("au");
    const QString between = "say between\nwait 1500\n";
    if (fault == Fault::SecondInstanceDayShift) {
        if (hitachi)
            return "inquiry QC0001 pos=3\nexpect-selection " + Bits(kind, {1, 2, 3, 4, 5, 6}) + "\n";
        if (au)
            return "request QC0001 cup=3\nexpect-channels " + AuChannels({1, 2, 3, 4, 5, 6}) + "\n";
        if (role == "indiko")
            return IndikoQuery("QC0001", 50, {"ALT", "AST", "CHOL", "CREA", "GLU", "UREA"});
    }
    if (fault != Fault::OrderBetweenQueries)
        return {};
    // The sample has one order, the control one open row; the second answers must name the order and
    // the row filed in between (a Hitachi host withdraws the open rows it ordered: only the new one).
    // The control is asked again first, right after its own answer.
    if (hitachi)
        return "inquiry " + x + " pos=1\nexpect-selection " + Bits(kind, {1}) +
               "\ninquiry QC0001 pos=3\nexpect-selection " + Bits(kind, {1}) + "\n" + between +
               "inquiry QC0001 pos=3\nexpect-selection " + Bits(kind, {2}) + "\ninquiry " + x +
               " pos=1\nexpect-selection " + Bits(kind, {1, 2}) + "\n";
    if (au)
        return "request " + x + " cup=1\nexpect-channels 01\nrequest QC0001 cup=3\nexpect-channels 01\n" +
               between + "request QC0001 cup=3\nexpect-channels 0102\nrequest " + x +
               " cup=1\nexpect-channels 0102\n";
    if (role == "indiko")
        return IndikoQuery(x, 50, {"GLU"}) + IndikoQuery("QC0001", 51, {"GLU"}) + between +
               IndikoQuery("QC0001", 52, {"CREA", "GLU"}) + IndikoQuery(x, 53, {"CREA", "GLU"});
    if (role == "dsx")
        return DsxQuery(x, 50, 1) + between + DsxQuery(x, 51, 2);
    return {};
}

QString HitachiScript(const SiteKind& kind, Fault fault, const QString& prefix, int samples)
{
    QString s;
    for (int n = 1; n <= samples; ++n) {
        const QString id = prefix + QString::number(n);
        s += QString("inquiry %1 pos=1\n").arg(id);
        // Behind a LIMS the selection is the LIMS's order mapped through the channels.
        if (kind.outType == "invH912" && kind.role == "902")
            s += "expect-selection " + Bits(kind, {1, 2, 3, 4, 5}) + "\n";
        if (MidMessage(fault) && n == Struck(samples))
            s += "say mid-message\nwait 2000\n";
        s += QString("results a %1 number=%2 ").arg(id).arg(n) + ChannelValues + "\n";
    }
    if (kind.outType.isEmpty())
        s += QString("control a QC0001 pos=3 number=%1 ").arg(samples + 1) + ControlValues + "\n";
    return s;
}

QString AuScript(Fault fault, const QString& prefix, int samples)
{
    if (fault == Fault::TwoInstances)
        return QString("loop %1\nresults %2{n} cup=1 %3\nend\n").arg(samples).arg(prefix, ChannelValues);
    QString s;
    for (int n = 1; n <= samples; ++n) {
        const QString id = prefix + QString::number(n);
        if (n == Struck(samples)) {
            // Two calibrations of two standards, each standard in a frame of its own.
            s += "calibration 1/1=0.0120,0.0118,0.0121,0.0119\n";
            if (MidMessage(fault))
                s += "say mid-message\nwait 2000\n";
            s += "calibration 1/2=0.2450,0.2440,0.2452,0.2446\n"
                 "calibration 3/1=0.0100,0.0101,0.0102,0.0103\ncalibration 3/2=0.1900,0.1901,0.1902,0.1903\n";
        }
        s += QString("request %1 cup=1\nresults %1 cup=1 ").arg(id) + ChannelValues + "\n";
    }
    // A control frame whose ACK the analyzer misses: sent again, stored and relayed once.
    if (fault == Fault::KillBetweenFrames)
        s += "lose-ack\n";
    return s + "control QC0001 cup=3 " + ControlValues + "\n";
}

QString AstmScript(bool dsx, Fault fault, const QString& prefix, int samples)
{
    QString s;
    for (int n = 1; n <= samples; ++n) {
        const QString id = prefix + QString::number(n);
        if (!Outage(fault)) {
            QString query =
                dsx ? DsxQuery(id, n, 5) : IndikoQuery(id, n, {"ALT", "AST", "CREA", "GLU", "UREA"});
            s += query.replace("expect-answer", AnswerFaults(fault, n) + "expect-answer");
        }
        s += AstmFaults(fault, n, samples);
        s += dsx ? "send " + DsxHeader + Time(n) + "; P|1|1|" + id + "; O|1|" + id + "||^^^GLU; " +
                       ResultRecords("mg/dl") + "L|1|N\n"
                 : "send " + IndikoHeader + Time(n) + "; P|1; O|1|" + id + "^^1^3; " + ResultRecords("") +
                       "L|1|N\n";
    }
    return s;
}

QString ActScript(Fault fault, int samples)
{
    QString s;
    for (int n = 1; n <= samples; ++n) {
        QString faults;
        if (fault == Fault::KillBetweenFrames && n == Struck(samples))
            faults = "hold=3 pause=2000 ";
        else if (fault == Fault::SenderAborts && n == 2)
            faults = "abort=3 ";
        else if (fault == Fault::BadChecksums && n == 1)
            faults = "corrupt=3 ";
        s += "message " + faults + "WBC=6.8 RBC=4.52 HGB=13.9 HCT=41.2 PLT=250\n";
    }
    return s;
}

// The LIMS serves for the whole run; when it is stopped, it is deaf for ten seconds after the first
// six.
QString LimsScript(const SiteKind& kind, Fault fault, int seconds)
{
    QString serve;
    if (kind.outType == "invH912")
        serve = "serve %1 1,2,3,4,5 ack\n";
    else if (kind.outType.startsWith("invOAU"))
        serve = "serve %1 0102030405\n";
    else
        serve = "listen %1\n";
    const QString role = kind.outType == "invH912"           ? "role lims-912\n"
                         : kind.outType.startsWith("invOAU") ? "role lims-au\n"
                                                             : "";
    if (fault == Fault::LimsStopped)
        return role + serve.arg(6) + "say deaf\ndeaf 10\n" + serve.arg(seconds);
    return role + serve.arg(seconds);
}

} // namespace

QString RefusedSample(const QString& prefix)
{
    return prefix + "2";
}

QString QueriedSample(const QString& prefix)
{
    return prefix + "Q";
}

CellScripts ScriptsFor(const SiteKind& kind, Fault fault, const QString& prefix, int samples, int limsSeconds)
{
    CellScripts scripts;
    if (!kind.outType.isEmpty())
        scripts.lims = LimsScript(kind, fault, limsSeconds);
    const QString& role = kind.role;
    if (role.isEmpty())
        return scripts;
    QString body;
    if (role == "911" || role == "902" || role == "912")
        body = HitachiScript(kind, fault, prefix, samples);
    else if (role.startsWith("au"))
        body = AuScript(fault, prefix, samples);
    else if (role == "indiko" || role == "dsx")
        body = AstmScript(role == "dsx", fault, prefix, samples);
    else if (role == "act")
        body = ActScript(fault, samples);
    scripts.analyzer = "role " + role + "\n" + QueriesFirst(kind, fault, prefix) + body;
    return scripts;
}

} // namespace Quorlix::Test
