// The one way the program shows message boxes and file dialogs. The window code asks the current service; the
// program uses the Qt dialogs, tests install a scripted service that records every request and answers from a
// queue, so nothing blocks and every text can be checked.
#pragma once

#include "platform/secret_bytes.h"

#include <QString>
#include <optional>

class QWidget;

namespace ui {

enum class MessageIcon { Information, Question, Error };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

// A file dialog request. `filter` uses the "description|patterns|description|patterns" form with patterns
// separated by ';' (e.g. "Cert file|*.pfx;*.p12"); empty for no filter. `defaultSuffix` ("cer", no dot) is
// appended to a saved name typed without one.
struct FileDialogRequest {
    QString title;
    QString filter;
    QString defaultSuffix;
    QString folder;
};

// A password prompt: the caller's caption, the prompt above the masked field, the field's first text and the
// captions of the two buttons.
struct PasswordRequest {
    QString caption;
    QString prompt;
    QString defaultText;
    QString confirmCaption;
    QString cancelCaption;
};

class MessageService {
public:
    virtual ~MessageService() = default;

    // Shows a modal message box owned by `owner` and returns the button chosen (Ok for an Ok box).
    virtual MessageAnswer showMessage(QWidget* owner, const QString& title, const QString& text,
                                      MessageIcon icon, MessageButtons buttons) = 0;
    // The chosen file's path; empty when the user cancelled.
    virtual QString openFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    virtual QString saveFileName(QWidget* owner, const FileDialogRequest& request) = 0;
    // A modal password prompt owned by `owner`: the typed text when the user confirms, nothing on cancel.
    virtual std::optional<platform::SecretBytes> askPassword(QWidget* owner,
                                                             const PasswordRequest& request) = 0;

    // A notice: title P_MSGTitle, information icon, one OK button.
    void inform(QWidget* owner, const QString& text);
    // A question: title P_MSGTitle, question icon, Yes and No (the default); true when the answer is Yes.
    bool ask(QWidget* owner, const QString& text);
    // A failure the program itself met (a file it could not write): title the program's name, error icon,
    // one OK button.
    void reportError(QWidget* owner, const QString& text);
};

// The service in use: the one installed last, or the Qt dialogs.
MessageService& messageService();
// Installs `service` (not owned; it must outlive its use); nullptr goes back to the Qt dialogs.
void setMessageService(MessageService* service);

// The Qt dialogs.
class QtMessageService : public MessageService {
public:
    MessageAnswer showMessage(QWidget* owner, const QString& title, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override;
    QString openFileName(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* owner, const FileDialogRequest& request) override;
    // The PasswordQuery dialog.
    std::optional<platform::SecretBytes> askPassword(QWidget* owner, const PasswordRequest& request) override;

    // The filter of a request in Qt's form: "Cert file (*.pfx *.p12)" entries separated by ";;".
    static QString qtFilter(const QString& filter);
};

} // namespace ui
