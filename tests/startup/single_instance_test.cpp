// The single-instance guard over a local socket: claiming, a second start, a stale socket and the requests.
#include "app/instance_request.h"
#include "app/single_instance.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>
#include <QUuid>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using app::SingleInstance;

namespace {

QString uniqueName() {
    return QStringLiteral("pellorzu-test-") + QUuid::createUuid().toString(QUuid::WithoutBraces);
}

// Leaves a socket file behind with nobody listening, as a crashed instance does.
bool makeStaleSocket(const QString& name) {
    const QByteArray path = QDir(QDir::tempPath()).filePath(name).toLocal8Bit();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof(address.sun_path)))
        return false;
    std::copy(path.begin(), path.end(), address.sun_path);
    const int descriptor = socket(AF_UNIX, SOCK_STREAM, 0);
    const bool bound = bind(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    close(descriptor);
    return bound && QFile::exists(QString::fromLocal8Bit(path));
}

} // namespace

TEST(SingleInstance, FirstStartClaimsAndSecondAsksItToRestore) {
    const QString name = uniqueName();
    SingleInstance first(name);
    QSignalSpy restores(&first, &SingleInstance::restoreRequested);
    ASSERT_TRUE(first.claim());
    EXPECT_TRUE(first.isGuarding());
    SingleInstance second(name);
    EXPECT_FALSE(second.claim());
    EXPECT_FALSE(second.isGuarding());
    EXPECT_TRUE(restores.wait(5000));
    EXPECT_EQ(restores.count(), 1);
}

TEST(SingleInstance, StaleSocketIsReplaced) {
    const QString name = uniqueName();
    ASSERT_TRUE(makeStaleSocket(name));
    SingleInstance instance(name);
    EXPECT_TRUE(instance.claim());
    EXPECT_TRUE(instance.isGuarding());
    QSignalSpy restores(&instance, &SingleInstance::restoreRequested);
    EXPECT_TRUE(SingleInstance::send(name, app::restoreRequestBytes()));
    EXPECT_TRUE(restores.wait(5000));
}

TEST(SingleInstance, CloseRequestIsTheExactUtf16TextClose) {
    const QString name = uniqueName();
    SingleInstance instance(name);
    ASSERT_TRUE(instance.claim());
    QSignalSpy closes(&instance, &SingleInstance::closeRequested);
    QSignalSpy handled(&instance, &SingleInstance::requestHandled);
    for (const char* ignored : {"close", "CLOSE ", "Close", ""})
        ASSERT_TRUE(SingleInstance::send(name, app::textRequestBytes(ignored)));
    ASSERT_TRUE(QTest::qWaitFor([&handled] { return handled.count() == 4; }, 5000));
    EXPECT_EQ(closes.count(), 0);
    ASSERT_TRUE(SingleInstance::send(name, app::textRequestBytes("CLOSE")));
    EXPECT_TRUE(closes.wait(5000));
    EXPECT_EQ(closes.count(), 1);
}

TEST(SingleInstance, NobodyAnswersWhenNoInstanceRuns) {
    EXPECT_FALSE(SingleInstance::send(uniqueName(), app::textRequestBytes("CLOSE")));
}
