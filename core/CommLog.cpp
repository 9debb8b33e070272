#include "CommLog.h"

#include "Clock.h"
#include "InstanceStats.h"
#include "Stamps.h"

#include <algorithm>

namespace Quorlix {

namespace {

// The control characters the log shows by name.
struct NamedChar
{
    char16_t code;
    QLatin1String name;
};
constexpr NamedChar NamedChars[] = {
    {0x02, QLatin1String("{STX}")}, {0x03, QLatin1String("{ETX}")}, {0x04, QLatin1String("{EOT}")},
    {0x05, QLatin1String("{ENQ}")}, {0x06, QLatin1String("{ACK}")}, {0x0A, QLatin1String("{LF}")},
    {0x0D, QLatin1String("{CR}")},  {0x11, QLatin1String("{DC1}")}, {0x15, QLatin1String("{NAK}")},
    {0x17, QLatin1String("{ETB}")},
};

} // namespace

QString ControlCharsToNames(const QString& text)
{
    QString out;
    out.reserve(text.size() + 16);
    for (const QChar c : text) {
        const auto named = std::find_if(std::begin(NamedChars), std::end(NamedChars),
                                        [c](const NamedChar& n) { return n.code == c.unicode(); });
        if (named != std::end(NamedChars))
            out += named->name;
        else
            out += c;
    }
    return out;
}

QString NamesToControlChars(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size();) {
        const auto named =
            text.at(i) != QLatin1Char('{')
                ? std::end(NamedChars)
                : std::find_if(std::begin(NamedChars), std::end(NamedChars), [&](const NamedChar& n) {
                      return QStringView(text).mid(i).startsWith(n.name);
                  });
        if (named != std::end(NamedChars)) {
            out += QChar(named->code);
            i += named->name.size();
        } else {
            out += text.at(i++);
        }
    }
    return out;
}

CommLog::CommLog(const Clock& clock, const QLocale& locale, QObject* parent)
    : QObject(parent), m_clock(clock), m_locale(locale)
{
}

CommLog::~CommLog()
{
    close();
}

QString CommLog::FileName(const QString& folder, const QString& analyzerId, const QString& yyyymmdd)
{
    return folder + analyzerId + QLatin1Char('_') + yyyymmdd + QLatin1String("_log.txt");
}

QString CommLog::open(const QString& path)
{
    QFile next(path);
    if (!next.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("cannot open the communication log %1: %2").arg(path, next.errorString());
    next.close();
    close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        return QStringLiteral("cannot open the communication log %1: %2").arg(path, m_file.errorString());
    return {};
}

void CommLog::close()
{
    if (m_file.isOpen()) {
        m_file.flush();
        m_file.close();
    }
}

void CommLog::writeFileLine(const QString& line)
{
    if (!m_file.isOpen())
        return;
    // Latin-1 keeps every byte of a frame exactly as it came off the line.
    m_file.write(line.toLatin1());
    m_file.write("\n", 1);
    m_file.flush();
}

void CommLog::logall(const QString& text, int direction)
{
    const auto stamped = [&](const char* marker) {
        return NowStamp(m_clock.now(), m_locale) + QLatin1String(marker) + ControlCharsToNames(text);
    };
    QString fileLine;
    QString viewLine;
    switch (direction) {
    case 1:
        fileLine = viewLine = stamped("  A->H");
        break;
    case 2:
        fileLine = viewLine = stamped("  H->A");
        break;
    case 3:
        fileLine = viewLine = QLatin1String("Monitor: ") + text;
        break;
    case 4:
        fileLine = stamped("  H->L");
        viewLine = stamped("     H->L");
        break;
    case 5:
        fileLine = stamped("  L->H");
        viewLine = stamped("     L->H");
        break;
    case 6:
        fileLine = viewLine = NowStamp(m_clock.now(), m_locale) + QLatin1String("  INPUT: ") + text;
        break;
    default:
        return;
    }
    writeFileLine(fileLine);
    countFrame(text, static_cast<Direction>(direction));
    remember(viewLine);
    emit windowLine(viewLine);
}

void CommLog::countFrame(const QString& text, Direction direction)
{
    if (!m_stats)
        return;
    const auto count = [&](LineTraffic& line, bool received) {
        (received ? line.framesReceived : line.framesSent) += 1;
        (received ? line.lastReceived : line.lastSent) = ControlCharsToNames(text);
        (received ? line.lastReceivedAt : line.lastSentAt) = m_clock.now();
    };
    switch (direction) {
    case Direction::AnalyzerToHost:
        count(m_stats->analyzer, true);
        break;
    case Direction::HostToAnalyzer:
        count(m_stats->analyzer, false);
        break;
    case Direction::LimsToHost:
        count(m_stats->lims, true);
        break;
    case Direction::HostToLims:
        count(m_stats->lims, false);
        break;
    default:
        break;
    }
}

void CommLog::remember(const QString& line)
{
    m_recent.push_front(line);
    if (m_recent.size() > MaxRecentLines)
        m_recent.pop_back();
}

QStringList CommLog::recentLines() const
{
    return QStringList(m_recent.begin(), m_recent.end());
}

} // namespace Quorlix
