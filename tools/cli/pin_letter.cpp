#include "pin_letter.h"

#include "cli_texts.h"
#include "failure.h"
#include "platform/owner_file.h"
#include "platform/secure_wipe.h"

#include <QDir>
#include <QFileInfo>

namespace cli {

PinLetter::PinLetter(const QString& folder, const std::string& serial)
    : path_(QDir(folder).filePath(QString::fromStdString(serial) + QStringLiteral("-pin-letter.txt"))),
      serial_(QString::fromStdString(serial)) {}

void PinLetter::checkFree() const {
    if (QFileInfo::exists(path_))
        throw Failure(kFileProblem, text("PinLetterExists").arg(path_));
}

void PinLetter::write(const QString& label, const platform::SecretBytes& userPin) const {
    checkFree();
    // Built in place so that no temporary copy of the PIN is left unwiped.
    const QByteArray heading = text("PinLetterText").arg(serial_, label).toUtf8();
    QByteArray letter;
    letter.reserve(heading.size() + userPin.size() + 2);
    letter.append(heading).append('\n').append(userPin.bytes()).append('\n');
    const bool written = platform::writeWholeFile(path_, letter);
    platform::secureWipe(letter);
    if (!written)
        throw Failure(kFileProblem, text("FileUnwritable").arg(path_));
}

} // namespace cli
