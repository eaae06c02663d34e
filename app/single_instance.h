// The single-instance guard: the first start of the program listens on a local socket named after the
// program's instance GUID and the user id; a later start connects to it, asks it to restore its window and
// ends. The same socket takes the close request of other programs (see instance_request.h).
#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QString>

namespace app {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // "{PellorZuAdmin-94AD-4233-B821-1CD5AC3F08E1}-" followed by the user id, in the user's runtime folder
    // when there is one (a client sending "CLOSE" connects to the same path).
    static QString defaultServerName();

    explicit SingleInstance(const QString& serverName, QObject* parent = nullptr);

    // Connects to a running instance first. When one answers, sends it the restore request and returns false:
    // this process must end. Otherwise removes a stale socket, listens, and returns true; a socket that
    // cannot be listened on leaves the program running without the guard (isGuarding() is then false).
    bool claim();
    bool isGuarding() const { return server_.isListening(); }
    // Sends `bytes` to the instance listening on `serverName` and disconnects; false when nobody answers.
    static bool send(const QString& serverName, const QByteArray& bytes);

signals:
    void restoreRequested();
    void closeRequested();
    // After each request, whatever it was (ignored ones included).
    void requestHandled();

private:
    void acceptConnections();
    void readRequest(QLocalSocket* client);
    void handle(const QByteArray& request);

    QString serverName_;
    QLocalServer server_;
};

} // namespace app
