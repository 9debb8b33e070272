// libFuzzer target for the E1381 link layer. The first byte sets the size of the pieces in which
// the rest arrives on the line, the second the link's options. A piece that starts with 0xFE also
// lets the link timer expire, one that starts with 0xFD also queues a message to send. Whatever
// arrives, memory stays bounded and every action is well formed.
#include "core/FrameText.h"
#include "drivers/astm/E1381Frame.h"
#include "drivers/astm/E1381Link.h"

#include <cstdint>
#include <cstdlib>

using namespace Quorlix;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckActions(const QList<E1381Action>& actions, const E1381Link::Options& options)
{
    int timers = 0;
    for (const E1381Action& a : actions) {
        switch (a.kind) {
        case E1381Action::Kind::Write:
            if (a.text.size() == 1) {
                const QChar c = a.text.front();
                Check(c == Ack || c == Nak || c == Enq || c == Eot);
                Check(a.timing == E1381Action::Timing::AfterPause || c == Ack || c == Enq);
            } else {
                Check(a.timing == E1381Action::Timing::AfterPause);
                Check(a.text.endsWith(Lf));
                Check(ParseE1381Frame(QStringView(a.text).chopped(1)).problem.isEmpty());
            }
            break;
        case E1381Action::Kind::StartTimer:
        case E1381Action::Kind::StopTimer:
            ++timers;
            break;
        case E1381Action::Kind::Record:
            Check(!a.text.isEmpty() && !a.text.contains(Cr) && a.text.size() <= options.maxRecordLength);
            break;
        case E1381Action::Kind::SendCompleted:
            Check(a.messageId > 0);
            break;
        case E1381Action::Kind::SendFailed:
            Check(a.messageId > 0 && !a.text.isEmpty());
            break;
        case E1381Action::Kind::Problem:
            Check(!a.text.isEmpty());
            break;
        case E1381Action::Kind::Received:
        case E1381Action::Kind::MessageEnded:
        case E1381Action::Kind::MessageAborted:
            break;
        }
    }
    Check(timers <= 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const qsizetype step = data[0] % 64 + 1;
    E1381Link::Options options;
    if (data[1] & 1)
        options.contention = E1381Link::Contention::HostRetriesOnce;
    options.chainedMessage = data[1] & 2;
    if (data[1] & 4) {
        options.maxRecordLength = 16;
        options.maxPendingRecords = 5;
    }
    const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    E1381Link link(options);
    for (qsizetype at = 0; at < text.size(); at += step) {
        const QString piece = text.mid(at, step);
        if (piece.front().unicode() == 0xFE)
            CheckActions(link.timerExpired(), options);
        if (piece.front().unicode() == 0xFD)
            CheckActions(
                link.send({QStringLiteral("H|\\^&"), piece.mid(1, 3).remove(Cr), QStringLiteral("L|1|N")}),
                options);
        CheckActions(link.receive(piece), options);
        Check(link.bufferedCharacters() <= E1381Reader::MaxKept + 4 + options.maxRecordLength);
        Check(link.pendingMessages() * 3 <= options.maxPendingRecords);
        Check(!E1381Link::stateName(link.state()).isEmpty());
    }
    return 0;
}
