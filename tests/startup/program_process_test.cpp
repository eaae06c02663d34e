// The built program run as separate processes with the real token library: a second start ends at once while
// the first runs on, and the close request ends the first.
#include "app/instance_request.h"
#include "tests/common/temp_world.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class ProgramProcessTest : public ::testing::Test {
protected:
    ProgramProcessTest() {
        const QString root = QString::fromStdString(world.root().string());
        QDir().mkpath(root + "/tmp");
        // A runtime folder must be private to its user, or Qt does not use it.
        QFile::setPermissions(root + "/tmp", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("TMPDIR", root + "/tmp"); // the instance socket lives here
        environment.insert("XDG_DATA_HOME", QString::fromStdString(world.dataHome().string()));
        environment.insert("XDG_CONFIG_HOME", QString::fromStdString(world.configHome().string()));
        environment.insert("XDG_RUNTIME_DIR",
                           root + "/tmp"); // ... or here, the user's private runtime folder
        socketFolder = root + "/tmp";
    }
    ~ProgramProcessTest() override {
        for (QProcess* process : {&first, &second}) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished();
            }
        }
    }

    void start(QProcess& process) {
        process.setProcessEnvironment(environment);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QStringLiteral(PELLORZU_PROGRAM), {});
    }

    // The socket of the running instance, once it listens.
    QString waitForInstanceSocket() {
        QString found;
        const bool listening = QTest::qWaitFor(
            [&] {
                const QStringList sockets = QDir(socketFolder).entryList({"{PellorZuAdmin-*"}, QDir::System);
                if (!sockets.isEmpty())
                    found = socketFolder + QLatin1Char('/') + sockets.first();
                return !found.isEmpty();
            },
            10000);
        return listening ? found : QString();
    }

    static bool send(const QString& socketPath, const QString& text) {
        QLocalSocket socket;
        socket.connectToServer(socketPath);
        if (!socket.waitForConnected(3000))
            return false;
        socket.write(app::textRequestBytes(text));
        socket.flush();
        socket.disconnectFromServer();
        return true;
    }

    TempWorld world;
    QProcessEnvironment environment;
    QString socketFolder;
    QProcess first;
    QProcess second;
};

} // namespace

TEST_F(ProgramProcessTest, SecondStartEndsAndCloseRequestEndsTheFirst) {
    start(first);
    ASSERT_TRUE(first.waitForStarted());
    const QString socket = waitForInstanceSocket();
    ASSERT_FALSE(socket.isEmpty());
    start(second);
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    ASSERT_TRUE(send(socket, "CLOSE"));
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0);
}
