// The program's start and run: the language is read and loaded, the single-instance guard decides whether
// this process goes on, the main window is created, filled and shown, and the event loop runs until it
// closes.
#pragma once

#include "single_instance.h"

#include <QString>
#include <memory>

class QWidget;
class TMainForm;

namespace app {

// The folder of the running executable, with a trailing '/'.
QString programFolder();

// Restores `window` when it is minimised and brings it to the front, also when other windows cover it; when a
// modal dialog is open in front of it, brings that dialog to the front and gives it the focus.
void restoreWindow(QWidget* window);

class Program : public QObject {
    Q_OBJECT
public:
    Program(const QString& programFolder, const QString& instanceName);
    ~Program() override;

    // Reads the language identifier, loads its language file and claims the single instance. Returns false
    // when another instance is running: it has been asked to restore itself, and this process ends without a
    // window.
    bool start();
    // Creates the main window, sets the program's icon and title, fills the language box and connects the
    // requests of other processes (restore, close) to the window.
    TMainForm* createMainWindow();
    // Shows the main window and runs the event loop until the window closes; returns the loop's exit code.
    // Closing the window ends every event loop, modal ones included; the window is destroyed (and the token
    // library shut down) with this object, after the loops have returned.
    int run();

    int languageId() const { return languageId_; }
    TMainForm* mainWindow() const;
    SingleInstance& instance() { return instance_; }

private:
    QString programFolder_;
    SingleInstance instance_;
    qint32 languageId_ = 0;
    std::unique_ptr<TMainForm> window_;
};

// The whole program: start, create the window, run. Returns the process exit code.
int runProgram();

} // namespace app
