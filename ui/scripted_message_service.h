// A message service for tests: records every message box and file dialog the program asks for and answers
// from queues filled beforehand. An unanswered question gets No, an unanswered file dialog or password prompt
// is cancelled; each is counted, so a test can tell that it forgot an answer.
#pragma once

#include "message_service.h"

#include <QList>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

namespace ui {

struct RecordedMessage {
    QPointer<QWidget> owner;
    QString title;
    QString text;
    MessageIcon icon;
    MessageButtons buttons;
};

struct RecordedFileDialog {
    enum Kind { Open, Save } kind;
    QPointer<QWidget> owner;
    FileDialogRequest request;
};

struct RecordedPasswordQuery {
    QPointer<QWidget> owner;
    PasswordRequest request;
};

class ScriptedMessageService : public MessageService {
public:
    // Installs itself as the current service; the destructor puts the Qt dialogs back.
    ScriptedMessageService();
    ~ScriptedMessageService() override;

    MessageAnswer showMessage(QWidget* owner, const QString& title, const QString& text, MessageIcon icon,
                              MessageButtons buttons) override;
    QString openFileName(QWidget* owner, const FileDialogRequest& request) override;
    QString saveFileName(QWidget* owner, const FileDialogRequest& request) override;
    std::optional<platform::SecretBytes> askPassword(QWidget* owner, const PasswordRequest& request) override;

    // Answers for the next questions (Yes/No boxes), in order.
    void queueAnswer(MessageAnswer answer) { answers_.enqueue(answer); }
    // Paths for the next file dialogs (an empty path cancels), in order.
    void queueFileName(const QString& path) { fileNames_.enqueue(path); }
    // Answers for the next password prompts, in order (nothing cancels the prompt).
    void queuePassword(const std::optional<QString>& password) { passwords_.enqueue(password); }
    // Called while a message box "is shown", before it returns (to act as the program would be seen then).
    void setOnMessage(std::function<void(const RecordedMessage&)> callback) {
        onMessage_ = std::move(callback);
    }
    // Called while a password prompt "is shown", before it returns.
    void setOnPasswordQuery(std::function<void(const RecordedPasswordQuery&)> callback) {
        onPasswordQuery_ = std::move(callback);
    }

    const QList<RecordedMessage>& messages() const { return messages_; }
    QStringList messageTexts() const;
    const QList<RecordedFileDialog>& fileDialogs() const { return fileDialogs_; }
    const QList<RecordedPasswordQuery>& passwordQueries() const { return passwordQueries_; }
    int unansweredQuestions() const { return unansweredQuestions_; }
    int unansweredFileDialogs() const { return unansweredFileDialogs_; }
    int unansweredPasswordQueries() const { return unansweredPasswordQueries_; }
    void clear();

private:
    QString nextFileName(RecordedFileDialog::Kind kind, QWidget* owner, const FileDialogRequest& request);

    QList<RecordedMessage> messages_;
    QList<RecordedFileDialog> fileDialogs_;
    QQueue<MessageAnswer> answers_;
    QQueue<QString> fileNames_;
    QList<RecordedPasswordQuery> passwordQueries_;
    QQueue<std::optional<QString>> passwords_;
    std::function<void(const RecordedMessage&)> onMessage_;
    std::function<void(const RecordedPasswordQuery&)> onPasswordQuery_;
    int unansweredQuestions_ = 0;
    int unansweredFileDialogs_ = 0;
    int unansweredPasswordQueries_ = 0;
};

} // namespace ui
