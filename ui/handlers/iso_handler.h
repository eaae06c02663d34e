// The ISO page: writing an ISO image file to the current key's disk area after a user login, in blocks of
// 64 KiB with a pause before each, the window kept alive and the progress bar PBISO counting KiB.
#pragma once

#include "token/flows/iso_image_write.h"
#include "ui/key_guard.h"

#include <QObject>
#include <QPointer>
#include <atomic>
#include <cstdint>
#include <memory>

class QProgressBar;
class QString;

namespace ui {

class ActionUpdater;
class IsoPage;
class KeyGuard;
class KeyOperationRunner;
struct MainActions;

class IsoHandler : public QObject {
    Q_OBJECT
public:
    // The results of a write whose image could not be read, or whose key was replaced at its slot.
    static constexpr int32_t kImageUnreadable = token::flows::kImageUnreadable;
    static constexpr int32_t kKeyReplaced = token::flows::kKeyReplaced;
    // The pause before each block, in milliseconds.
    static constexpr int kPauseBeforeBlock = 100;

    // Connects AcDownISO and the browse button of edtPath and registers the update handler.
    IsoHandler(IsoPage& page, const MainActions& actions, ActionUpdater& updater, KeyGuard& guard,
               KeyOperationRunner& runner, QObject* parent);

    // Lets the user choose an .iso file for edtPath.
    void edtPathButtonClick();
    // Logs in with the user PIN, writes the image and reports the outcome; the key ends logged out.
    void AcDownISOExecute();
    // Enables AcDownISO when the user PIN holds the key's minimum length and a path is entered.
    void AcDownISOUpdate();
    // What the window and a running write share: the user's wish to stop, and the bytes written so far.
    struct WriteControl {
        std::atomic<bool> cancelWanted{false};
        std::atomic<uint64_t> writtenBytes{0};
    };
    // Writes the file at `path` to the disk area of the ticket's key from sector 0, showing the progress on
    // `bar`; 0 or the first failure's code, kWriteCancelled when `control` asked to stop before a block. A
    // key operation flow: it runs on the key operation worker.
    static int32_t WriteIsoImage(const QPointer<QProgressBar>& bar, const KeyTicket& ticket,
                                 const QString& path, const std::shared_ptr<WriteControl>& control = {});

private:
    enum class IsoLogin { LoggedIn, Locked, Refused, NoRoom };
    // How the start of a write went: the login, or the disk area that cannot take the image.
    struct IsoStart {
        IsoLogin login = IsoLogin::LoggedIn;
        token::flows::DiskArea area;
    };
    // Says why the image of `imageBytes` cannot go to `area`.
    void reportNoRoom(const token::flows::DiskArea& area, uint64_t imageBytes);
    // Writes the image at `path` to the logged-in `key`, logs it out and reports the outcome.
    void writeImage(int32_t key, const QString& path);
    void reportWrite(int32_t result);
    // The page as an operation that ended leaves it: no progress shown.
    void resetProgress();
    // The Cancel button: the running write stops after its current block.
    void cancelWrite();

    IsoPage& page_;
    const MainActions& actions_;
    KeyGuard& guard_;
    KeyOperationRunner& runner_;
    std::shared_ptr<WriteControl> write_; // of the running write; none between writes
};

} // namespace ui
