#include "single_instance.h"

#include "instance_request.h"
#include "platform/user_identity.h"

#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>
#include <memory>

namespace app {

namespace {

constexpr int kConnectTimeoutMs = 1000;
// A client that neither finishes nor disconnects is dropped after this long.
constexpr int kRequestTimeoutMs = 3000;
// Nobody sends more than a short text; anything longer is not a request.
constexpr qsizetype kMaxRequestBytes = 4096;

} // namespace

QString SingleInstance::defaultServerName() {
    const QString name =
        QStringLiteral("{PellorZuAdmin-94AD-4233-B821-1CD5AC3F08E1}-") + platform::currentUserId();
    // The user's private runtime folder (mode 0700) keeps other users from taking the name first; the shared
    // temporary folder is the fallback.
    const QString runtimeFolder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtimeFolder.isEmpty() ? name : runtimeFolder + QLatin1Char('/') + name;
}

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), serverName_(serverName) {
    server_.setSocketOptions(QLocalServer::NoOptions);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
}

bool SingleInstance::claim() {
    if (send(serverName_, restoreRequestBytes()))
        return false;
    // Nobody answered: a socket file left by an instance that crashed is removed before listening.
    QLocalServer::removeServer(serverName_);
    server_.listen(serverName_);
    return true;
}

bool SingleInstance::send(const QString& serverName, const QByteArray& bytes) {
    QLocalSocket socket;
    socket.connectToServer(serverName);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(bytes);
    socket.flush();
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kConnectTimeoutMs);
    return true;
}

void SingleInstance::acceptConnections() {
    while (QLocalSocket* client = server_.nextPendingConnection())
        readRequest(client);
}

// Collects what `client` sends until it disconnects (or the time is up), then handles it as one request.
void SingleInstance::readRequest(QLocalSocket* client) {
    client->setParent(this);
    auto request = std::make_shared<QByteArray>();
    connect(client, &QLocalSocket::readyRead, client, [client, request] {
        request->append(client->readAll());
        if (request->size() > kMaxRequestBytes)
            client->abort();
    });
    connect(client, &QLocalSocket::disconnected, this, [this, client, request] {
        request->append(client->readAll());
        client->deleteLater();
        handle(*request);
    });
    QTimer::singleShot(kRequestTimeoutMs, client, [client] { client->abort(); });
}

void SingleInstance::handle(const QByteArray& request) {
    switch (parseInstanceRequest(request)) {
    case InstanceRequest::Restore:
        emit restoreRequested();
        break;
    case InstanceRequest::Close:
        emit closeRequested();
        break;
    case InstanceRequest::None:
        break;
    }
    emit requestHandled();
}

} // namespace app
