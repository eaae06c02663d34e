// Drives the installed program's own window for the package test (scripts/package-test.sh). Loaded into the
// program with LD_PRELOAD, it waits for the main window, then runs the steps PELLORZU_DRIVER_STEPS names
// (comma-separated), finding controls by their object names and using them as a person would, and prints what
// it sees on standard output, one "what: text" line each. When the steps are done it closes the window, so
// the program ends as it does for a user (exit code 0); a step that fails or waits in vain ends the program
// with exit code 3 and the reason on standard error.
//
// Steps: keys (the key list once the scan shows keys), language (the language box and the window title),
// switch-language (the next item of the language box, by keyboard), initialise=<key label> (the blank key
// formatted with the values below; the message that follows is printed and answered), defaults=<key label>
// (the initialisation page of that key as the program fills it).
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int kPollMs = 50;
constexpr int kStepTimeoutMs = 30000;
constexpr int kFailureExitCode = 3;

// What the initialise step types into the page (PINs within the page's default length limits).
struct TypedValue {
    const char* field;
    const char* text;
};
constexpr TypedValue kInitValues[] = {{"edtInit_KeyName", "Installed key"},
                                      {"edtInit_GS", "Norvale"},
                                      {"edtInit_UnLockPIN", "Package test"},
                                      {"edtInit_SPIN", "87654321"},
                                      {"edtInit_UPIN", "12345678"}};
// ... and one limit other than the page's own default, so that a kept value shows as kept.
constexpr const char* kInitCount = "edtInit_MaxCount";
constexpr int kInitCountValue = 7;
// What the defaults step prints: the texts that are not PINs and the six limits.
constexpr const char* kShownTexts[] = {"edtInit_KeyName", "edtInit_GS", "edtInit_UnLockPIN"};
constexpr const char* kShownCounts[] = {"edtInit_PINLenMax",   "edtInit_PINlenMin",
                                        "edtInit_MaxCount",    "edtInit_SOPINlenMax",
                                        "edtInit_SOPINlenMin", "edtInit_MaxCount_SOPIN"};
// Positions in a key's branch of the tree: the administration node and its initialisation child.
constexpr int kAdministrationChild = 3;
constexpr int kInitialisationChild = 0;

void print(const QString& what, const QString& text) {
    std::printf("%s: %s\n", qUtf8Printable(what), qUtf8Printable(text));
    std::fflush(stdout);
}

class WindowDriver : public QObject {
public:
    explicit WindowDriver(const QStringList& steps) : steps_(steps) {
        connect(&poll_, &QTimer::timeout, this, &WindowDriver::tick);
        poll_.start(kPollMs);
    }

private:
    enum class Progress { Waiting, Done };

    void tick() {
        if (!window_ && !(window_ = findMainWindow()))
            return waitOrFail(QStringLiteral("no main window"));
        if (step_ == steps_.size()) {
            poll_.stop();
            window_->close();
            return;
        }
        const QString step = steps_[step_];
        const QString name = step.section(u'=', 0, 0);
        const QString argument = step.section(u'=', 1);
        // A message the program shows on its own (the notice about a blank key after a scan) is printed and
        // closed, so the step goes on; the initialise step answers the messages it causes itself.
        if (!(name == QLatin1String("initialise") && stage_ > 0) && closeNotice())
            return;
        Progress progress = Progress::Waiting;
        if (name == QLatin1String("keys"))
            progress = showKeys();
        else if (name == QLatin1String("language"))
            progress = showLanguage();
        else if (name == QLatin1String("switch-language"))
            progress = switchLanguage();
        else if (name == QLatin1String("initialise"))
            progress = initialise(argument);
        else if (name == QLatin1String("defaults"))
            progress = showDefaults(argument);
        else
            return fail(QStringLiteral("unknown step ") + step);
        if (progress == Progress::Done)
            nextStep();
        else
            waitOrFail(QStringLiteral("step ") + step + QStringLiteral(" did not finish"));
    }

    static QWidget* findMainWindow() {
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (widget->objectName() == QLatin1String("MainForm") && widget->isVisible())
                return widget;
        return nullptr;
    }

    void nextStep() {
        ++step_;
        stage_ = 0;
        waited_ = 0;
    }

    void waitOrFail(const QString& reason) {
        waited_ += kPollMs;
        if (waited_ > kStepTimeoutMs)
            fail(reason);
    }

    void fail(const QString& reason) {
        poll_.stop();
        std::fprintf(stderr, "window driver: %s\n", qUtf8Printable(reason));
        // A message box left open is the usual reason a step never finishes: say what it says.
        for (QWidget* widget : QApplication::topLevelWidgets())
            if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible())
                std::fprintf(stderr, "window driver: a message is open: %s\n", qUtf8Printable(box->text()));
        QCoreApplication::exit(kFailureExitCode);
    }

    template <typename T> T* control(const char* name) const {
        return window_->findChild<T*>(QLatin1String(name));
    }

    QTreeWidgetItem* keyList() const {
        QTreeWidget* tree = control<QTreeWidget>("tv");
        return tree && tree->topLevelItemCount() > 0 ? tree->topLevelItem(0) : nullptr;
    }

    QTreeWidgetItem* keyNode(const QString& label) const {
        QTreeWidgetItem* list = keyList();
        for (int i = 0; list && i < list->childCount(); ++i)
            if (list->child(i)->text(0) == label)
                return list->child(i);
        return nullptr;
    }

    // A key node has its task nodes below it; an error node has none.
    Progress showKeys() {
        QTreeWidgetItem* list = keyList();
        if (!list || list->childCount() == 0 || list->child(0)->childCount() == 0)
            return Progress::Waiting;
        for (int i = 0; i < list->childCount(); ++i)
            print(QStringLiteral("key"), list->child(i)->text(0));
        return Progress::Done;
    }

    Progress showLanguage() {
        print(QStringLiteral("language"), control<QComboBox>("cbLanguageID")->currentText());
        print(QStringLiteral("title"), window_->windowTitle().trimmed());
        return Progress::Done;
    }

    // One press of the down arrow in the language box, then the wait for the texts to change.
    Progress switchLanguage() {
        QComboBox* box = control<QComboBox>("cbLanguageID");
        if (stage_++ == 0) {
            titleBefore_ = window_->windowTitle();
            languageBefore_ = box->currentIndex();
        }
        // The window holds back keys while a key operation runs: the key is pressed again until the box
        // moves.
        if (box->currentIndex() == languageBefore_) {
            box->setFocus();
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QCoreApplication::sendEvent(box, &press);
            return Progress::Waiting;
        }
        return window_->windowTitle() != titleBefore_ ? Progress::Done : Progress::Waiting;
    }

    // Selects the initialisation page of the key labelled `label`; false while there is no such key.
    bool openInitialisation(const QString& label) {
        QTreeWidgetItem* key = keyNode(label);
        if (!key || key->childCount() <= kAdministrationChild)
            return false;
        QTreeWidgetItem* page = key->child(kAdministrationChild)->child(kInitialisationChild);
        control<QTreeWidget>("tv")->setCurrentItem(page);
        return true;
    }

    Progress initialise(const QString& label) {
        if (stage_ == 0) {
            if (!openInitialisation(label))
                return Progress::Waiting;
            for (const TypedValue& value : kInitValues)
                control<QLineEdit>(value.field)->setText(QString::fromUtf8(value.text));
            control<QSpinBox>(kInitCount)->setValue(kInitCountValue);
            QAction* action = control<QAction>("AcInit");
            // Triggered from the event loop: the message that ends it runs a loop of its own.
            QTimer::singleShot(0, action, &QAction::trigger);
            stage_ = 1;
            return Progress::Waiting;
        }
        QMessageBox* box = openMessage();
        if (!box)
            return Progress::Waiting;
        // The question before the format is answered Yes (No is its default); the message after it ends the
        // step.
        if (QAbstractButton* yes = box->button(QMessageBox::Yes)) {
            print(QStringLiteral("question"), box->text());
            yes->click();
            return Progress::Waiting;
        }
        print(QStringLiteral("message"), box->text());
        answer(*box);
        return Progress::Done;
    }

    static QMessageBox* openMessage() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->isVisible() ? box : nullptr;
    }

    static void answer(QMessageBox& box) {
        QAbstractButton* button = box.defaultButton() ? box.defaultButton() : box.buttons().value(0);
        if (button)
            button->click();
        else
            box.accept();
    }

    // Prints and closes a message that is open; false when none is.
    bool closeNotice() {
        QMessageBox* box = openMessage();
        if (!box)
            return false;
        print(QStringLiteral("notice"), box->text());
        answer(*box);
        return true;
    }

    Progress showDefaults(const QString& label) {
        if (!openInitialisation(label))
            return Progress::Waiting;
        for (const char* name : kShownTexts)
            print(QStringLiteral("default ") + QLatin1String(name), control<QLineEdit>(name)->text());
        for (const char* name : kShownCounts)
            print(QStringLiteral("default ") + QLatin1String(name),
                  QString::number(control<QSpinBox>(name)->value()));
        return Progress::Done;
    }

    QStringList steps_;
    QTimer poll_;
    QWidget* window_ = nullptr;
    qsizetype step_ = 0;
    int stage_ = 0;
    int waited_ = 0;
    QString titleBefore_;
    int languageBefore_ = -1;
};

// Runs when the program creates its QApplication.
void startDriver() {
    // Programs the window starts (a browser, the companion program) run without the driver.
    qunsetenv("LD_PRELOAD");
    const QString steps = qEnvironmentVariable("PELLORZU_DRIVER_STEPS");
    new WindowDriver(steps.split(u',', Qt::SkipEmptyParts));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(startDriver)
