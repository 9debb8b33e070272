#include "LimsHostRole.h"

#include "SimSession.h"
#include "core/CommLog.h"

#include <QElapsedTimer>
#include <QTime>

namespace QuorlixSim {

namespace {

const QString Stx(QChar(0x02));
const QString Etx(QChar(0x03));

QString Right(const QString& text, int width)
{
    return (QString(width, QLatin1Char(' ')) + text).right(width);
}

QString Left(const QString& text, int width)
{
    return (text + QString(width, QLatin1Char(' '))).left(width);
}

// Script values write blanks as "_".
QString Value(const QString& word)
{
    return QString(word).replace(QLatin1Char('_'), QLatin1Char(' '));
}

QString Now()
{
    return QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
}

// The options of an order line: field k (1..6) by name.
const char* const FieldNames[6] = {"surname", "forename", "cust", "custname", "si", "collector"};
constexpr int FieldWidths[6] = {30, 25, 20, 15, 10, 20};

} // namespace

QString TubeNotFoundMessage()
{
    return QStringLiteral("*MESSAGE *TUBE NON TROUVE");
}

QString OrderFrame(const SimOrder& o)
{
    QString frame = Stx + QLatin1Char(';') + Left(o.identification, 11) + Right(o.id, 13) +
                    QString(5, QLatin1Char(' ')) +
                    (o.date.isEmpty() ? QString(6, QLatin1Char(' ')) : o.date) +
                    (o.time.isEmpty() ? QString(4, QLatin1Char(' ')) : o.time) + QStringLiteral("48") +
                    Left(o.selection, 48);
    for (const bool present : o.present)
        frame += present ? QLatin1Char('1') : QLatin1Char('0');
    for (int k = 0; k < 6; ++k)
        frame += Left(o.fields[k], FieldWidths[k]);
    return frame + Etx;
}

QString LimsHostRole::help() const
{
    return QStringLiteral(
        "  inquiry ID                             wait for the inquiry quorlix forwards for ID\n"
        "  order ID CH,CH,... [surname=S] [forename=F] [cust=C] [custname=N] [si=I] [collector=X]\n"
        "        [date=MMDDYY] [time=HHMM]        answer with an order of these channels (_ is a blank)\n"
        "  not-found ID                           answer \"*MESSAGE *TUBE NON TROUVE\"\n"
        "  results ID [n=N] CH=VALUE ...          wait for the results frame of ID, check its groups, answer "
        ">\n"
        "  send TEXT                              any frame; {STX} {ETX} ... name control characters\n"
        "  quiet MS                               nothing but polls may arrive within MS\n"
        "  serve S CH,CH,... [ack]                for S seconds answer every inquiry with an order of\n"
        "                                         these channels and take results frames without an\n"
        "                                         answer (it would reach the analyzer as a frame of its "
        "own);\n"
        "                                         with ack answer each with > (--record: \"results ID "
        "N\")\n");
}

void LimsHostRole::send(SimSession& session, const QString& frame)
{
    if (!session.options().quiet)
        Print(QStringLiteral("%1  L->H%2").arg(Now(), Quorlix::ControlCharsToNames(frame)));
    session.line().write(frame.toLatin1());
}

QString LimsHostRole::nextFrame(SimSession& session, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            return {};
        const QString frame = QString::fromLatin1(session.line().readFrame(int(left)));
        if (frame.isEmpty())
            return {};
        if (!session.options().quiet)
            Print(QStringLiteral("%1  H->L%2").arg(Now(), Quorlix::ControlCharsToNames(frame)));
        if (frame != Stx + QLatin1Char('>') + Etx)
            return frame;
        // The analyzer's poll, relayed: the host answers it.
        send(session, Stx + QLatin1Char('>') + Etx);
    }
}

bool LimsHostRole::parse(const ScriptLine& line, SimStep& step, QString* error)
{
    const QString& verb = line.verb;
    const QStringList& words = line.words;
    const int n = line.number;

    if (verb == QLatin1String("inquiry")) {
        if (words.size() != 1) {
            *error = QStringLiteral("line %1: inquiry ID").arg(n);
            return true;
        }
        const QString id = words.first();
        step = [this, n, id](SimSession& s) {
            const QString frame = nextFrame(s, s.options().timeoutMs);
            if (!s.check(!frame.isEmpty(), n, QStringLiteral("an inquiry for %1, got nothing").arg(id)))
                return;
            // STX ";" class "1" number(5) "1" position(2) "5" id(13) info(4) "0" date(6) time(4) ETX
            const bool layout = frame.size() == 42 && frame.at(1) == QLatin1Char(';') &&
                                frame.at(3) == QLatin1Char('1') && frame.at(9) == QLatin1Char('1') &&
                                frame.at(12) == QLatin1Char('5') && frame.at(30) == QLatin1Char('0');
            s.check(layout, n,
                    QStringLiteral("an inquiry frame of 42 characters, got %1")
                        .arg(Quorlix::ControlCharsToNames(frame)));
            s.check(frame.mid(13, 13).trimmed() == id, n,
                    QStringLiteral("an inquiry for %1, got one for %2").arg(id, frame.mid(13, 13).trimmed()));
            if (layout)
                m_identification = frame.mid(2, 11);
        };
    } else if (verb == QLatin1String("order") || verb == QLatin1String("not-found")) {
        const bool notFound = verb == QLatin1String("not-found");
        if (words.size() < (notFound ? 1 : 2)) {
            *error = QStringLiteral("line %1: %2")
                         .arg(n)
                         .arg(notFound ? QLatin1String("not-found ID") : QLatin1String("order ID CH,CH,..."));
            return true;
        }
        SimOrder order;
        order.id = words.at(0);
        order.selection = QString(48, QLatin1Char('0'));
        if (notFound) {
            order.fields[0] = TubeNotFoundMessage();
        } else {
            for (const QString& channel : words.at(1).split(QLatin1Char(','))) {
                const int c = channel.toInt();
                if (c < 1 || c > 48) {
                    *error = QStringLiteral("line %1: channel %2 is not 1..48").arg(n).arg(channel);
                    return true;
                }
                order.selection[c - 1] = QLatin1Char('1');
            }
            for (int k = 0; k < 6; ++k) {
                const QString value = line.option(QLatin1String(FieldNames[k]), QStringLiteral("\x01"));
                order.present[k] = value != QLatin1String("\x01");
                if (order.present[k])
                    order.fields[k] = Value(value);
            }
            order.date = line.option(QStringLiteral("date"));
            order.time = line.option(QStringLiteral("time"));
        }
        step = [this, order](SimSession& s) {
            SimOrder o = order;
            o.identification = m_identification;
            send(s, OrderFrame(o));
            ++s.inquiriesAnswered;
        };
    } else if (verb == QLatin1String("results")) {
        if (words.isEmpty()) {
            *error = QStringLiteral("line %1: results ID [n=N] CH=VALUE ...").arg(n);
            return true;
        }
        const QString id = words.first();
        const int count = line.intOption(QStringLiteral("n"), -1);
        QStringList groups;
        for (const QString& w : words.mid(1)) {
            if (!w.startsWith(QLatin1String("n=")))
                groups << w;
        }
        step = [this, n, id, count, groups](SimSession& s) {
            const QString frame = nextFrame(s, s.options().timeoutMs);
            if (!s.check(!frame.isEmpty(), n, QStringLiteral("the results of %1, got nothing").arg(id)))
                return;
            // STX ":" class "1" number(5) "1" position(2) "5" id(13) info(4+1) date and time(10)
            // six blanks, n(2), groups of channel(2) value(6) blank, "000000" ETX
            const qsizetype groupText = frame.size() - 49 - 7;
            const bool layout = frame.size() >= 56 && frame.at(1) == QLatin1Char(':') && groupText % 9 == 0 &&
                                frame.mid(41, 6) == QString(6, QLatin1Char(' ')) &&
                                frame.right(7) == QStringLiteral("000000") + Etx;
            ++s.framesReceived;
            if (!s.check(layout, n,
                         QStringLiteral("a results frame, got %1").arg(Quorlix::ControlCharsToNames(frame))))
                return;
            s.check(
                frame.mid(13, 13).trimmed() == id, n,
                QStringLiteral("the results of %1, got those of %2").arg(id, frame.mid(13, 13).trimmed()));
            if (count >= 0)
                s.check(frame.mid(47, 2).trimmed() == QString::number(count), n,
                        QStringLiteral("n = %1, got %2").arg(count).arg(frame.mid(47, 2).trimmed()));
            QStringList got;
            for (qsizetype at = 49; at + 9 <= frame.size() - 7; at += 9)
                got << frame.mid(at, 2).trimmed() + QLatin1Char('=') + frame.mid(at + 2, 6).trimmed();
            s.check(got == groups, n,
                    QStringLiteral("groups %1, got %2")
                        .arg(groups.join(QLatin1Char(' ')), got.join(QLatin1Char(' '))));
            send(s, Stx + QLatin1Char('>') + Etx);
        };
    } else if (verb == QLatin1String("serve")) {
        const int seconds = words.value(0).toInt();
        QString selection(48, QLatin1Char('0'));
        for (const QString& channel : words.value(1).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const int c = channel.toInt();
            if (c < 1 || c > 48) {
                *error = QStringLiteral("line %1: channel %2 is not 1..48").arg(n).arg(channel);
                return true;
            }
            selection[c - 1] = QLatin1Char('1');
        }
        if (seconds <= 0) {
            *error = QStringLiteral("line %1: serve S CH,CH,...").arg(n);
            return true;
        }
        const bool ack = words.value(2) == QLatin1String("ack");
        step = [this, seconds, selection, ack](SimSession& s) {
            QElapsedTimer clock;
            clock.start();
            for (qint64 left = seconds * 1000; left > 0; left = seconds * 1000 - clock.elapsed()) {
                const QString frame = nextFrame(s, int(left));
                // A results frame: STX ":" ... the id in 13 from position 14, the count at 48.
                if (ack && frame.size() >= 56 && frame.at(1) == QLatin1Char(':')) {
                    ++s.framesReceived;
                    s.recordReceived(QStringLiteral("results"), frame.mid(13, 13).trimmed(),
                                     frame.mid(47, 2).trimmed().toInt());
                    send(s, Stx + QLatin1Char('>') + Etx);
                    continue;
                }
                // STX ";" then positions 3-13 to echo and the id in 13: an inquiry.
                if (frame.size() != 42 || frame.at(1) != QLatin1Char(';'))
                    continue;
                SimOrder order;
                order.identification = frame.mid(2, 11);
                order.id = frame.mid(13, 13).trimmed();
                order.selection = selection;
                send(s, OrderFrame(order));
                ++s.inquiriesAnswered;
            }
        };
    } else if (verb == QLatin1String("send")) {
        const QString frame = NamesToControlChars(line.rest);
        step = [this, frame](SimSession& s) { send(s, frame); };
    } else if (verb == QLatin1String("quiet")) {
        const int ms = line.rest.toInt();
        step = [this, n, ms](SimSession& s) {
            const QString frame = nextFrame(s, ms);
            s.check(frame.isEmpty(), n,
                    QStringLiteral("nothing within %1 ms, got %2")
                        .arg(ms)
                        .arg(Quorlix::ControlCharsToNames(frame)));
        };
    } else {
        return false;
    }
    return true;
}

} // namespace QuorlixSim
