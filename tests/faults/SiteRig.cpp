#include "SiteRig.h"

#include <QTcpServer>
#include <QTcpSocket>

namespace Quorlix::Test {

namespace {

// The five tests every sample has, by their ASTM codes, and their results.
const QStringList TestCodes{"GLU", "CREA", "UREA", "ALT", "AST"};
const QStringList TestValues{"95.2", "0.91", "30", "22", "32"};

QString ResultRecords(const QString& unit)
{
    QString records;
    for (int k = 0; k < TestCodes.size(); ++k)
        records +=
            QString("R|%1|^^^").arg(k + 1) + TestCodes.at(k) + "|" + TestValues.at(k) + "|" + unit + "; ";
    return records;
}

} // namespace

const QList<SiteKind>& SiteKinds()
{
    // Samples per second at 9600 baud, rounded up: a Hitachi 911 sends a 40-character inquiry and a
    // 90-character results frame per sample and waits for nothing; the 902 and 912 hosts wait
    // 100 ms before each answer, the AU host 750 ms before each ACK and order frame, the Indiko host
    // 500 ms before each write of its answer; the ACT sends 7 frames per message.
    static const QList<SiteKind> kinds{
        {"H911", "H911", "911", "HIT911", "", "", "", Filed::RawResults, true, 8, 3},
        {"H902", "H902", "902", "HIT902", "", "", "", Filed::RawResults, true, 5, 3},
        {"H912", "H912", "912", "HIT912", "", "", "", Filed::RawResults, true, 5, 4},
        {"AU400", "OAU400", "au400", "AU400", "", "", "", Filed::RawResults, true, 1, 3},
        {"AU600", "OAU600", "au600", "AU600", "", "", "", Filed::RawResults, true, 1, 2},
        {"AU680", "OAU680", "au680", "AU680", "", "", "", Filed::RawResults, true, 1, 3},
        {"IND", "IND", "indiko", "IND1", "", "", "", Filed::RawResults, true, 0.5, 3},
        {"DSX", "DSX", "dsx", "DSX1", "", "", "", Filed::Requests, true, 4, 3},
        {"MGC", "MGC", "", "", "", "", "", Filed::Requests, false, 0, 1},
        {"MGCON", "MGC_ONLINE", "", "", "MGC240", "MGC240", "listen %1\n", Filed::ToLims, false, 0, 1},
        {"H902L", "H902", "902", "HIT902", "invH912", "LIMS", "role lims-912\nserve %1 1,2,3,4,5 ack\n",
         Filed::RawResults, false, 7, 2},
        {"AU400L", "OAU400", "au400", "AU400", "invOAU400", "LIMS", "role lims-au\nserve %1 0102030405\n",
         Filed::RawResults, false, 1, 2},
        {"ACT", "ACT", "act", "", "", "", "", Filed::Nothing, false, 4, 2},
    };
    return kinds;
}

QString SiteScript(const SiteKind& kind, const QString& prefix, int samples)
{
    const QString id = prefix + "{n}";
    QString body;
    if (kind.role == "911" || kind.role == "902" || kind.role == "912") {
        body = QString("inquiry %1 pos=1\nresults a %1 number={n} 1=95.2 2=0.91 3=30 4=22 5=32\n").arg(id);
    } else if (kind.role.startsWith("au")) {
        body = QString("request %1 cup=1\nresults %1 cup=1 1=95.2 2=0.91 3=30 4=22 5=32\n").arg(id);
    } else if (kind.role == "indiko") {
        const QString header = "H|\\^&|||1^Indiko Basic^2.0|||||1^quorlix^1.0||P|1|";
        body = "send " + header + "20260105093500; Q|1|^" + id + "||^^^ALL; L|1|N\n" +
               "expect-answer H|\\^&|||1^quorlix^1.0|||||1^Indiko Basic^2.0||P|1|{time}; P|1|{*}|||{*}" +
               QString(28, '|') + "; O|1|" + id +
               "^0.0^0^0^||^^^ALT\\^^^AST\\^^^CREA\\^^^GLU\\^^^UREA|R||||||N||||1||||||||||O; L|1|N\n" +
               "send " + header + "20260105093000; P|1; O|1|" + id + "^^1^3; " + ResultRecords("") +
               "L|1|N\n";
    } else if (kind.role == "dsx") {
        const QString header = "H|\\^&|||DSX^1|||||LIMS||P|1|";
        QString orders;
        for (int k = 0; k < TestCodes.size(); ++k)
            orders += QString("O|%1|").arg(k + 1) + id + "||^^^" + TestCodes.at(k) +
                      "|R|20030821195400||||||||20030821195400|P||||||||||O; ";
        body = "send " + header + "20260105093200; Q|1|" + id + "; L|1|N\n" +
               "expect-answer H|\\^&|||{*}|||||DSX^1||P|1|20260105093200; P|1|1|" + id +
               "|na|^|||F|||||{*}; " + orders + "L|1|F\n" + "send " + header + "20260105093000; P|1|1|" + id +
               "; O|1|" + id + "||^^^GLU; " + ResultRecords("mg/dl") + "L|1|N\n";
    } else if (kind.role == "act") {
        body = "message WBC=6.8 RBC=4.52 HGB=13.9 HCT=41.2 PLT=250\n";
    }
    return QString("role %1\nloop %2\n%3end\n").arg(kind.role).arg(samples).arg(body);
}

QStringList UnarmedControls(Database& db, const QStringList& analyzerIds)
{
    QStringList unarmed;
    for (const QString& id : analyzerIds) {
        SqlResult due = db.run("SELECT COUNT(*) FROM control_def cd INNER JOIN param2channel p2c "
                               "ON cd.parameter_id = p2c.parameter_id WHERE p2c.analyzer_id = ?",
                               {id});
        const int parameters = due.next() ? due.value(0).toInt() : -1;
        due.finish();
        SqlResult armed = db.run("SELECT COUNT(*) FROM control_block WHERE analyzer_id = ?", {id});
        const int blocks = armed.next() ? armed.value(0).toInt() : -1;
        if (blocks != parameters || parameters <= 0)
            unarmed << QString("%1: %2 of %3 armed").arg(id).arg(blocks).arg(parameters);
    }
    return unarmed;
}

quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

QString ScrapeMetrics(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(2000))
        return {};
    socket.write("GET /metrics HTTP/1.1\r\nHost: localhost\r\n\r\n");
    QByteArray reply;
    while (socket.waitForReadyRead(2000))
        reply += socket.readAll();
    reply += socket.readAll();
    const qsizetype body = reply.indexOf("\r\n\r\n");
    return reply.startsWith("HTTP/1.1 200") && body >= 0 ? QString::fromUtf8(reply.mid(body + 4)) : QString();
}

double MetricValue(const QString& text, const QString& sample)
{
    for (const QStringView line : QStringView(text).split(u'\n')) {
        if (line.startsWith(sample) && line.size() > sample.size() && line.at(sample.size()) == u' ')
            return line.mid(sample.size() + 1).toDouble();
    }
    return -1;
}

} // namespace Quorlix::Test
