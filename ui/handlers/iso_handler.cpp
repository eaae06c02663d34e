#include "iso_handler.h"

#include "i18n/outcome_texts.h"
#include "i18n/string_table.h"
#include "message_text.h"
#include "token/flows/iso_image_write.h"
#include "token/flows/key_session.h"
#include "token/key_table.h"
#include "ui/action_updater.h"
#include "ui/button_edit.h"
#include "ui/handlers/pin_fields.h"
#include "ui/key_guard.h"
#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"
#include "ui/message_service.h"
#include "ui/pages/iso_page.h"
#include "ui/pin_edit.h"

#include <QAction>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>
#include <utility>

namespace ui {

namespace {

constexpr int kKiBPerBlock = 64;
constexpr int kWaitBeforeSuccess = 500;

} // namespace

IsoHandler::IsoHandler(IsoPage& page, const MainActions& actions, ActionUpdater& updater, KeyGuard& guard,
                       KeyOperationRunner& runner, QObject* parent)
    : QObject(parent), page_(page), actions_(actions), guard_(guard), runner_(runner) {
    setObjectName(QStringLiteral("isoHandler"));
    connect(actions.AcDownISO, &QAction::triggered, this, &IsoHandler::AcDownISOExecute);
    connect(page.edtPath, &ButtonEdit::buttonClicked, this, &IsoHandler::edtPathButtonClick);
    connect(page.btnCancelISO, &QPushButton::clicked, this, &IsoHandler::cancelWrite);
    updater.add(actions.AcDownISO, [this] { AcDownISOUpdate(); });
}

void IsoHandler::edtPathButtonClick() {
    FileDialogRequest request;
    request.filter = QStringLiteral("ISO File (*.iso)|*.iso");
    const QString chosen = messageService().openFileName(page_.window(), request);
    if (!chosen.isEmpty())
        page_.edtPath->setText(chosen);
}

void IsoHandler::AcDownISOUpdate() {
    actions_.AcDownISO->setEnabled(page_.edtUPINForDownISO->text().size() >=
                                       token::keyTable().current().minPinLength &&
                                   !page_.edtPath->text().isEmpty());
}

void IsoHandler::AcDownISOExecute() {
    const int32_t key = token::keyTable().currentKey;
    const QString path = page_.edtPath->text();
    // A folder is no image file.
    if (!QFileInfo(path).isFile()) {
        messageService().inform(page_.window(), i18n::text("ISOFile_error"));
        return;
    }
    if (!pinLengthFits(*page_.edtUPINForDownISO, userPinLimits(token::keyTable().keys[key]), page_.window()))
        return;
    const platform::SecretBytes pin = pinBytes(*page_.edtUPINForDownISO);
    emptyUsedPins({page_.edtUPINForDownISO});
    const auto imageBytes = static_cast<uint64_t>(QFileInfo(path).size());
    runner_.run(
        [key, pin, imageBytes] {
            // An image the key cannot hold is refused before any login or block.
            const token::flows::DiskArea area = token::flows::diskArea(key);
            if (!area.holds(imageBytes))
                return IsoStart{IsoLogin::NoRoom, area};
            // The key is logged out before its lock is checked, so a failed check leaves no session behind.
            token::flows::logOutKey(key);
            if (token::flows::userPinLocked(key))
                return IsoStart{IsoLogin::Locked, area};
            const bool loggedIn = token::flows::logInUser(key, pin.c_str()).succeeded();
            return IsoStart{loggedIn ? IsoLogin::LoggedIn : IsoLogin::Refused, area};
        },
        [this, key, path, imageBytes](const IsoStart& start) {
            const IsoLogin login = start.login;
            if (login == IsoLogin::NoRoom)
                reportNoRoom(start.area, imageBytes);
            else if (login == IsoLogin::Locked)
                messageService().inform(page_.window(), i18n::text("K_Dead"));
            else if (login == IsoLogin::Refused)
                messageService().inform(page_.window(), i18n::text("K_User_error"));
            else
                writeImage(key, path);
        });
}

void IsoHandler::writeImage(int32_t key, const QString& path) {
    page_.PBISO->setValue(0);
    const KeyTicket ticket = guard_.ticket(key);
    write_ = std::make_shared<WriteControl>();
    page_.btnCancelISO->setText(i18n::text("C_Btn_Cancel"));
    page_.btnCancelISO->setEnabled(true);
    page_.btnCancelISO->show();
    runner_.run(
        [bar = QPointer<QProgressBar>(page_.PBISO), ticket, path, control = write_] {
            const int32_t result = WriteIsoImage(bar, ticket, path, control);
            // The success message follows a short pause after the last block.
            if (result == 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(kWaitBeforeSuccess));
            token::flows::logOutKey(ticket.slot);
            return result;
        },
        [this](int32_t result) { reportWrite(result); });
}

void IsoHandler::cancelWrite() {
    if (!write_)
        return;
    write_->cancelWanted = true;
    page_.btnCancelISO->setEnabled(false); // once is enough: the write stops after its block
}

void IsoHandler::reportNoRoom(const token::flows::DiskArea& area, uint64_t imageBytes) {
    if (area.code != 0)
        messageService().inform(page_.window(), i18n::failureText(i18n::text("ISo_Down_No"), area.code));
    else
        messageService().inform(page_.window(), i18n::isoTooBigText(static_cast<int64_t>(imageBytes),
                                                                    static_cast<int64_t>(area.bytes)));
}

void IsoHandler::resetProgress() {
    page_.PBISO->setValue(0);
}

void IsoHandler::reportWrite(int32_t result) {
    const std::shared_ptr<WriteControl> control = std::exchange(write_, nullptr);
    page_.btnCancelISO->hide();
    resetProgress();
    if (result == 0) {
        messageService().inform(page_.window(), i18n::text("ISO_Down_Yes"));
        return;
    }
    if (result == token::flows::kWriteCancelled) {
        messageService().inform(page_.window(), i18n::isoCancelledText(static_cast<int64_t>(
                                                    control ? control->writtenBytes.load() : 0)));
        return;
    }
    // The text comes from a language file, so it is joined, never used as a format.
    const QString text = i18n::failureText(i18n::text("ISo_Down_No") + QStringLiteral("(ErrorCode = 0x") +
                                               errorCodeHex(result) + QLatin1Char(')'),
                                           result);
    messageService().showMessage(page_.window(), i18n::text("P_MSGTitle") + QLatin1Char(' '), text,
                                 MessageIcon::Information, MessageButtons::Ok);
}

int32_t IsoHandler::WriteIsoImage(const QPointer<QProgressBar>& bar, const KeyTicket& ticket,
                                  const QString& path, const std::shared_ptr<WriteControl>& control) {
    // This runs on the key operation worker: the bar is only touched on the window thread.
    const auto onBar = [bar](auto change) {
        QMetaObject::invokeMethod(
            bar,
            [bar, change] {
                if (bar)
                    change(*bar);
            },
            Qt::QueuedConnection);
    };
    token::flows::IsoWriteSteps steps;
    steps.started = [onBar](uint64_t totalBytes) {
        const int maximum = static_cast<int>(std::min<uint64_t>(totalBytes / 1024, INT_MAX));
        onBar([maximum](QProgressBar& shown) { shown.setRange(0, maximum); });
    };
    // Operations run one after another, so no scan can replace the key between blocks.
    steps.beforeBlock = [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(kPauseBeforeBlock));
        return true;
    };
    steps.cancelled = [control] { return control && control->cancelWanted.load(); };
    steps.afterBlock = [onBar, control](uint64_t writtenBytes) {
        if (control)
            control->writtenBytes = writtenBytes;
        onBar([](QProgressBar& shown) {
            shown.setValue(std::min(shown.value() + kKiBPerBlock, shown.maximum()));
        });
    };
    return token::flows::writeIsoImage(ticket.slot, ticket.serial, QFile::encodeName(path).toStdString(),
                                       steps);
}

} // namespace ui
