#include "secret_source.h"

#include "cli_texts.h"
#include "failure.h"
#include "platform/terminal.h"
#include "secret_lines.h"
#include "tools/common/usage_error.h"

#include <QFile>
#include <cstdio>

namespace cli {

namespace {

QByteArray readStandardInput() {
    QFile input;
    if (!input.open(stdin, QIODevice::ReadOnly))
        return {};
    return input.readAll();
}

} // namespace

SecretSource::SecretSource(const tools::Arguments& arguments) {
    if (const auto path = arguments.text("pin-file"))
        file_ = QString::fromLocal8Bit(*path);
    stdin_ = arguments.has("pin-stdin");
    if (file_ && stdin_)
        throw tools::UsageError("--pin-file and --pin-stdin exclude each other");
}

void SecretSource::loadLines() {
    if (loaded_)
        return;
    loaded_ = true;
    QByteArray content;
    if (file_) {
        if (platform::readableByOthers(*file_))
            throw Failure(kFileProblem, text("PinFileOpen").arg(*file_));
        QFile file(*file_);
        if (!file.open(QIODevice::ReadOnly))
            throw Failure(kFileProblem, text("FileUnreadable").arg(*file_));
        content = file.readAll();
    } else {
        content = readStandardInput();
    }
    lines_ = secretLines(content);
}

platform::SecretBytes SecretSource::next(const QString& prompt) {
    platform::SecretBytes secret = nextAsGiven(prompt);
    // A zero byte would end the secret early where the key receives it: the key would take less than was
    // written.
    if (secret.bytes().contains('\0'))
        throw Failure(kUsage, text("SecretZeroByte").arg(prompt));
    return secret;
}

platform::SecretBytes SecretSource::nextAsGiven(const QString& prompt) {
    if (fromTerminal()) {
        if (!platform::standardInputIsTerminal())
            throw Failure(kUsage, text("NoTerminal"));
        std::optional<platform::SecretBytes> typed = platform::readHiddenLine(prompt + QStringLiteral(": "));
        if (!typed)
            throw Failure(kUsage, text("NoSecretGiven").arg(prompt));
        return *typed;
    }
    loadLines();
    if (nextLine_ >= lines_.size())
        throw Failure(kUsage, text("SecretMissing").arg(prompt));
    return lines_[nextLine_++];
}

platform::SecretBytes SecretSource::nextNew(const QString& prompt, const QString& again) {
    platform::SecretBytes first = next(prompt);
    if (!fromTerminal())
        return first;
    if (!(next(again) == first))
        throw Failure(kPinRefused, windowText("S_PIN_equal"));
    return first;
}

} // namespace cli
