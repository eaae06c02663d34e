#include "iso_handler.h"

#include "i18n/string_table.h"
#include "message_text.h"
#include "token/key_table.h"
#include "token/token_ops.h"
#include "ui/button_edit.h"
#include "ui/main_form.h"
#include "ui/message_service.h"
#include "ui/pages/iso_page.h"
#include "ui/wait_cursor.h"
#include "user_pin_session.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProgressBar>
#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

namespace ui {

namespace {

constexpr qint64 kBlockSize = 65536;
constexpr qint64 kSectorSize = 2048;
constexpr int kKiBPerBlock = kBlockSize / 1024;
constexpr int kWaitBeforeSuccess = 500;

using Block = std::array<char, kBlockSize>;

// Fills `block` from `file` until it is full or the file ends: only the last block of a file is short. The
// byte count, or -1 when a read fails.
qint64 readBlock(QFile& file, Block& block) {
    block.fill(0);
    qint64 filled = 0;
    while (filled < kBlockSize) {
        const qint64 read = file.read(block.data() + filled, kBlockSize - filled);
        if (read < 0)
            return -1;
        if (read == 0)
            break;
        filled += read;
    }
    return filled;
}

// The serial the library reports for `slot` now.
std::string serialReported(int32_t slot) {
    token::TZartoInfo record;
    record.clear();
    if (token::token_get_info(slot, record) != 0)
        return {};
    return std::string(record.serial, strnlen(record.serial, sizeof record.serial));
}

} // namespace

IsoHandler::IsoHandler(TMainForm& form) : QObject(&form), form_(form) {
    connect(form.actions.AcDownISO, &QAction::triggered, this, &IsoHandler::AcDownISOExecute);
    connect(form.TabSheet11->edtPath, &ButtonEdit::buttonClicked, this, &IsoHandler::edtPathButtonClick);
    form.addUpdateHandler(form.actions.AcDownISO, [this] { AcDownISOUpdate(); });
}

void IsoHandler::edtPathButtonClick() {
    FileDialogRequest request;
    request.filter = QStringLiteral("ISO File (*.iso)|*.iso");
    const QString chosen = messageService().openFileName(&form_, request);
    if (!chosen.isEmpty())
        form_.TabSheet11->edtPath->setText(chosen);
}

void IsoHandler::AcDownISOUpdate() {
    const IsoPage& page = *form_.TabSheet11;
    form_.actions.AcDownISO->setEnabled(page.edtUPINForDownISO->text().size() >=
                                            token::keyTable().current().minPinLength &&
                                        !page.edtPath->text().isEmpty());
}

void IsoHandler::AcDownISOExecute() {
    const int32_t key = token::keyTable().currentKey;
    const QString path = form_.TabSheet11->edtPath->text();
    // A folder is no image file.
    if (!QFileInfo(path).isFile()) {
        messageService().inform(&form_, i18n::text("ISOFile_error"));
        return;
    }
    if (!logIn(key))
        return;
    int32_t result = 0;
    {
        // No rescan or key action may run while the window waits between blocks and before the message.
        const KeyGuard::Hold hold(form_.keyGuard);
        {
            const WaitCursor waitCursor;
            result = WriteIsoImage(key, path);
        }
        if (result == 0)
            ProcessMessagesFor(kWaitBeforeSuccess);
        logOutKey(key);
    }
    reportWrite(result);
}

bool IsoHandler::logIn(int32_t key) {
    logOutKey(key);
    if (userPinLocked(key)) {
        messageService().inform(&form_, i18n::text("K_Dead"));
        return false;
    }
    if (!logInKey(key, pinBytes(*form_.TabSheet11->edtUPINForDownISO)).succeeded()) {
        messageService().inform(&form_, i18n::text("K_User_error"));
        return false;
    }
    return true;
}

void IsoHandler::reportWrite(int32_t result) {
    if (result == 0) {
        messageService().inform(&form_, i18n::text("ISO_Down_Yes"));
        return;
    }
    // The text comes from a language file, so it is joined, never used as a format.
    const QString text = i18n::text("ISo_Down_No") + QStringLiteral("(ErrorCode = 0x") +
                         errorCodeHex(result) + QLatin1Char(')');
    messageService().showMessage(&form_, i18n::text("P_MSGTitle") + QLatin1Char(' '), text,
                                 MessageIcon::Information, MessageButtons::Ok);
}

int32_t IsoHandler::WriteIsoImage(int32_t slot, const QString& path) {
    QProgressBar* bar = form_.TabSheet11->PBISO;
    bar->setValue(0);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kImageUnreadable;
    bar->setRange(0, static_cast<int>(std::min<qint64>(file.size() / 1024, INT_MAX)));
    const KeyGuard::Hold hold(form_.keyGuard);
    const KeyTicket ticket = form_.keyGuard.ticket(slot);
    auto block = std::make_unique<Block>();
    uint32_t sector = 0;
    for (;;) {
        qint64 count = readBlock(file, *block);
        if (count < 0)
            return kImageUnreadable;
        if (count == 0)
            return 0;
        // A short last block is sent up to the end of its last sector; the rest of the buffer is zeros.
        count = (count + kSectorSize - 1) / kSectorSize * kSectorSize;
        const auto sectors = static_cast<uint32_t>(count / kSectorSize);
        ProcessMessagesFor(kPauseBeforeBlock);
        if (!form_.keyGuard.stillValid(ticket) || serialReported(slot) != ticket.serial)
            return kKeyReplaced;
        if (const int32_t result = token::token_write_sectors(slot, sector, sectors, block->data()))
            return result;
        sector += sectors;
        bar->setValue(std::min(bar->value() + kKiBPerBlock, bar->maximum()));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

} // namespace ui
