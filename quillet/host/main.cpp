#include "framing.h"
#include "request.h"

#include <QString>
#include <csignal>
#include <unistd.h>

// The browser starts this host, writes framed requests to its standard input and reads one
// framed answer per request from its standard output; closing the input ends the host.
int main() {
    // Started programs are reaped by the system; the host never waits for them.
    std::signal(SIGCHLD, SIG_IGN);
    // A browser that goes away must not kill the host in the middle of a write.
    std::signal(SIGPIPE, SIG_IGN);

    for (;;) {
        const Quillet::Frame frame = Quillet::ReadFrame(STDIN_FILENO);
        QByteArray answer;
        switch (frame.kind) {
        case Quillet::Frame::Kind::End:
            return 0;
        case Quillet::Frame::Kind::Truncated:
            Quillet::WriteFrame(STDOUT_FILENO, Quillet::ErrorAnswer(QStringLiteral(
                                                   "The message ended before its stated length.")));
            return 0;
        case Quillet::Frame::Kind::TooLong:
            answer = Quillet::ErrorAnswer(QStringLiteral("The message is longer than 1 MiB."));
            break;
        case Quillet::Frame::Kind::Message:
            answer = Quillet::Answer(frame.body);
            break;
        }
        if (!Quillet::WriteFrame(STDOUT_FILENO, answer))
            return 0;
    }
}
