#include "message_service.h"

#include "i18n/string_table.h"
#include "message_box_width.h"
#include "password_query.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QRegularExpression>

namespace ui {

namespace {

MessageService*& installedService() {
    static MessageService* service = nullptr;
    return service;
}

// One "description (patterns)" entry; a description that already ends in a parenthesised pattern list loses
// it, so the patterns appear once.
QString filterEntry(QString description, const QString& patterns) {
    static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    description.remove(trailingPatterns);
    QStringList parts = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (QString& part : parts)
        part = part.trimmed();
    return QStringLiteral("%1 (%2)").arg(description.trimmed(), parts.join(QLatin1Char(' ')));
}

QMessageBox::Icon boxIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Error:
        return QMessageBox::Critical;
    case MessageIcon::Information:
        break;
    }
    return QMessageBox::Information;
}

QString runFileDialog(QWidget* owner, const FileDialogRequest& request, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, request.title, request.folder, QtMessageService::qtFilter(request.filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(request.defaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

} // namespace

void MessageService::inform(QWidget* owner, const QString& text) {
    showMessage(owner, i18n::text("P_MSGTitle"), text, MessageIcon::Information, MessageButtons::Ok);
}

bool MessageService::ask(QWidget* owner, const QString& text) {
    return showMessage(owner, i18n::text("P_MSGTitle"), text, MessageIcon::Question, MessageButtons::YesNo) ==
           MessageAnswer::Yes;
}

void MessageService::reportError(QWidget* owner, const QString& text) {
    showMessage(owner, QCoreApplication::applicationName(), text, MessageIcon::Error, MessageButtons::Ok);
}

MessageService& messageService() {
    static QtMessageService qtService;
    MessageService* service = installedService();
    return service ? *service : qtService;
}

void setMessageService(MessageService* service) {
    installedService() = service;
}

MessageAnswer QtMessageService::showMessage(QWidget* owner, const QString& title, const QString& text,
                                            MessageIcon icon, MessageButtons buttons) {
    const bool question = buttons == MessageButtons::YesNo;
    // A carriage return separates the lines of a message; the box shows the text as plain text.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QMessageBox box(boxIcon(icon), title, shown,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    // Every question of the window gives up something that cannot be had back: Enter answers No.
    if (question)
        box.setDefaultButton(QMessageBox::No);
    keepTitleVisible(box);
    const int chosen = box.exec();
    if (!question)
        return MessageAnswer::Ok;
    return chosen == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

QString QtMessageService::openFileName(QWidget* owner, const FileDialogRequest& request) {
    return runFileDialog(owner, request, QFileDialog::AcceptOpen);
}

QString QtMessageService::saveFileName(QWidget* owner, const FileDialogRequest& request) {
    return runFileDialog(owner, request, QFileDialog::AcceptSave);
}

std::optional<platform::SecretBytes> QtMessageService::askPassword(QWidget* owner,
                                                                   const PasswordRequest& request) {
    PasswordQuery query(owner, request);
    if (query.exec() != QDialog::Accepted)
        return std::nullopt;
    return query.takePassword();
}

QString QtMessageService::qtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        entries.append(filterEntry(parts[i], parts[i + 1]));
    return entries.join(QStringLiteral(";;"));
}

} // namespace ui
