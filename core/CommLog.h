#pragma once

#include <QFile>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>

namespace Quorlix {

class Clock;
struct InstanceStats;

// Direction codes of the communication log.
enum class Direction
{
    AnalyzerToHost = 1,
    HostToAnalyzer = 2,
    Monitor = 3,
    HostToLims = 4,
    LimsToHost = 5,
    ManualInput = 6,
};

// Control characters shown by name: "{STX}", "{ETX}" and so on; other characters stay as they are.
QString ControlCharsToNames(const QString& text);
// The inverse: the names back to the characters (what a replay of the log sends); a brace that
// starts no name stays as it is.
QString NamesToControlChars(const QString& text);

// The daily communication log: every line sent or received, with its direction, and every monitor
// note. Lines go to the open log file and to a bounded list of recent lines that the main window
// shows (newest first).
class CommLog : public QObject
{
    Q_OBJECT

public:
    explicit CommLog(const Clock& clock, const QLocale& locale, QObject* parent = nullptr);
    ~CommLog() override;

    // The log file name for a day: folder & analyzer & "_" & yyyymmdd & "_log.txt".
    static QString FileName(const QString& folder, const QString& analyzerId, const QString& yyyymmdd);

    // Opens (appending, creating when missing) the day's file, replacing the open one. Returns an
    // error text naming the file when it cannot be opened; the previous file then stays open.
    QString open(const QString& path);
    void close();
    bool isOpen() const { return m_file.isOpen(); }
    QString filePath() const { return m_file.fileName(); }

    // Writes one line for the direction (see the Direction codes); an unknown direction writes nothing.
    void logall(const QString& text, int direction);
    void logall(const QString& text, Direction direction) { logall(text, static_cast<int>(direction)); }
    void monitor(const QString& text) { logall(text, Direction::Monitor); }

    // Frames logged from now on are counted in the stats (which must outlive the log).
    void countFramesIn(InstanceStats* stats) { m_stats = stats; }

    // A plain line in the file only (the start-up header).
    void writeFileLine(const QString& line);

    // The most recent window lines, newest first.
    QStringList recentLines() const;
    static constexpr int MaxRecentLines = 5000;

signals:
    // A new line for the window, to be put on top of the view.
    void windowLine(const QString& line);

private:
    void remember(const QString& windowLine);
    void countFrame(const QString& text, Direction direction);

    const Clock& m_clock;
    const QLocale& m_locale;
    QFile m_file;
    std::deque<QString> m_recent;
    InstanceStats* m_stats = nullptr;
};

} // namespace Quorlix
