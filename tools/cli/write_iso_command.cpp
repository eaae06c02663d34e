#include "write_iso_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "progress_bar.h"
#include "token/flows/iso_image_write.h"
#include "user_session.h"

#include <QFile>
#include <QFileInfo>

namespace cli {

std::string WriteIsoCommand::usage() const {
    return "usage: pellorzu-cli write-iso KEY FILE [--pin-file FILE | --pin-stdin]\n"
           "Logs in with the user PIN and writes the image FILE to the key's disk area from its first "
           "sector,\n"
           "in blocks of 64 KiB (the last block is filled up to a whole 2048-byte sector with zeros). On a\n"
           "terminal a progress bar shows on standard error. The write stops when the key is swapped.\n"
           "Secrets: the user PIN.\n";
}

int WriteIsoCommand::run(Invocation& invocation) {
    invocation.expectAtMost(2);
    const FoundKey& key = invocation.writableKey(0);
    const QString path = QString::fromLocal8Bit(invocation.word(1, "FILE"));
    if (!QFileInfo(path).isFile())
        throw Failure(kFileProblem, windowText("ISOFile_error") + QStringLiteral(": ") + path);
    int32_t result = 0;
    {
        const UserSession session(invocation, key);
        ProgressBar bar(invocation.err());
        token::flows::IsoWriteSteps steps;
        steps.started = [&bar](uint64_t total) { bar.start(total); };
        steps.afterBlock = [&bar](uint64_t written) { bar.show(written); };
        result =
            token::flows::writeIsoImage(key.slot, key.serial, QFile::encodeName(path).toStdString(), steps);
    }
    if (result != 0)
        throw Failure(result == token::flows::kImageUnreadable ? kFileProblem : kFailed,
                      windowText("ISo_Down_No") + QStringLiteral("(ErrorCode = ") + codeText(result) +
                          QLatin1Char(')'));
    invocation.print(windowText("ISO_Down_Yes"));
    return kDone;
}

} // namespace cli
