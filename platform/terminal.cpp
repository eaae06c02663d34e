#include "terminal.h"

#include <QByteArray>
#include <QFile>
#include <cstdio>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace platform {

namespace {

// Echo off on standard input while the object lives.
class EchoOff {
public:
    EchoOff() {
        if (tcgetattr(STDIN_FILENO, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        changed_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
    }
    ~EchoOff() {
        if (changed_)
            tcsetattr(STDIN_FILENO, TCSANOW, &saved_);
    }
    EchoOff(const EchoOff&) = delete;
    EchoOff& operator=(const EchoOff&) = delete;

private:
    termios saved_{};
    bool changed_ = false;
};

} // namespace

bool standardInputIsTerminal() {
    return isatty(STDIN_FILENO) == 1;
}

bool standardErrorIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::optional<SecretBytes> readHiddenLine(const QString& prompt) {
    const QByteArray text = prompt.toLocal8Bit();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fflush(stderr);
    QByteArray line;
    // Room for any PIN, so the buffer is not moved (leaving a copy behind) while the line grows.
    line.reserve(1024);
    bool ended = false;
    {
        const EchoOff echoOff;
        char c = 0;
        while (read(STDIN_FILENO, &c, 1) == 1) {
            if (c == '\n') {
                ended = true;
                break;
            }
            line.append(c);
        }
        c = 0;
    }
    // The typed Enter was not echoed.
    std::fputc('\n', stderr);
    if (!ended && line.isEmpty())
        return std::nullopt;
    if (line.endsWith('\r'))
        line.chop(1);
    return SecretBytes(line);
}

bool readableByOthers(const QString& path) {
    struct stat status {};
    if (stat(QFile::encodeName(path).constData(), &status) != 0)
        return false;
    return (status.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

} // namespace platform
