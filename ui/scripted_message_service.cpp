#include "scripted_message_service.h"

namespace ui {

ScriptedMessageService::ScriptedMessageService() {
    setMessageService(this);
}

ScriptedMessageService::~ScriptedMessageService() {
    setMessageService(nullptr);
}

MessageAnswer ScriptedMessageService::showMessage(QWidget* owner, const QString& title, const QString& text,
                                                  MessageIcon icon, MessageButtons buttons) {
    messages_.append({owner, title, text, icon, buttons});
    if (onMessage_)
        onMessage_(messages_.constLast());
    if (buttons == MessageButtons::Ok)
        return MessageAnswer::Ok;
    if (answers_.isEmpty()) {
        ++unansweredQuestions_;
        return MessageAnswer::No;
    }
    return answers_.dequeue();
}

QString ScriptedMessageService::openFileName(QWidget* owner, const FileDialogRequest& request) {
    return nextFileName(RecordedFileDialog::Open, owner, request);
}

QString ScriptedMessageService::saveFileName(QWidget* owner, const FileDialogRequest& request) {
    return nextFileName(RecordedFileDialog::Save, owner, request);
}

std::optional<platform::SecretBytes> ScriptedMessageService::askPassword(QWidget* owner,
                                                                         const PasswordRequest& request) {
    passwordQueries_.append({owner, request});
    if (onPasswordQuery_)
        onPasswordQuery_(passwordQueries_.constLast());
    if (passwords_.isEmpty()) {
        ++unansweredPasswordQueries_;
        return std::nullopt;
    }
    const std::optional<QString> answer = passwords_.dequeue();
    if (!answer)
        return std::nullopt;
    return platform::SecretBytes(answer->toLocal8Bit());
}

QString ScriptedMessageService::nextFileName(RecordedFileDialog::Kind kind, QWidget* owner,
                                             const FileDialogRequest& request) {
    fileDialogs_.append({kind, owner, request});
    if (fileNames_.isEmpty()) {
        ++unansweredFileDialogs_;
        return QString();
    }
    return fileNames_.dequeue();
}

QStringList ScriptedMessageService::messageTexts() const {
    QStringList texts;
    for (const RecordedMessage& message : messages_)
        texts.append(message.text);
    return texts;
}

void ScriptedMessageService::clear() {
    messages_.clear();
    fileDialogs_.clear();
    answers_.clear();
    fileNames_.clear();
    passwordQueries_.clear();
    passwords_.clear();
    unansweredQuestions_ = 0;
    unansweredFileDialogs_ = 0;
    unansweredPasswordQueries_ = 0;
}

} // namespace ui
