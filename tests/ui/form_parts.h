// Reaching the parts of the main window the way a person finds them: controls, pages and timers by their
// object names, handlers by theirs. A part that is missing throws, which fails the test at once.
#pragma once

#include "ui/key_operation_runner.h"
#include "ui/main_actions.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <QAction>
#include <QObject>
#include <QString>
#include <iterator>
#include <stdexcept>
#include <string>

// The child of `form` of type T called `name`.
template <typename T> T* part(QObject& form, const char* name) {
    T* found = form.findChild<T*>(QString::fromLatin1(name));
    if (!found)
        throw std::runtime_error(std::string("the window has no ") + name);
    return found;
}

// The eighteen actions of the window.
inline ui::MainActions actionsOf(QObject& form) {
    ui::MainActions actions{};
    QAction** members[] = {&actions.AcFindKeyRefresh, &actions.AcLogin,      &actions.AcCancel,
                           &actions.AcSetUserPIN,     &actions.AcSetKeyName, &actions.Acrefresh,
                           &actions.AcListCert,       &actions.AcOutput,     &actions.AcDel,
                           &actions.AcDelCert,        &actions.AcInputCert,  &actions.AcRegCert,
                           &actions.AcUnRegCert,      &actions.Aclogout,     &actions.AcInit,
                           &actions.AcSetSOPIN,       &actions.AcUnlock,     &actions.AcDownISO};
    const char* names[] = {"AcFindKeyRefresh", "AcLogin",    "AcCancel",    "AcSetUserPIN", "AcSetKeyName",
                           "Acrefresh",        "AcListCert", "AcOutput",    "AcDel",        "AcDelCert",
                           "AcInputCert",      "AcRegCert",  "AcUnRegCert", "Aclogout",     "AcInit",
                           "AcSetSOPIN",       "AcUnlock",   "AcDownISO"};
    for (std::size_t i = 0; i < std::size(names); ++i)
        *members[i] = part<QAction>(form, names[i]);
    return actions;
}

// Lets the window finish the key operations it has started, answering events meanwhile, the way a person
// waits for the hourglass to go. Tests call it after every action that works on a key, whether the runner
// works on the window thread or beside it. An operation that never ends fails the test.
inline void waitForKeyOperations(QObject& form, int timeoutMs = 60000) {
    auto* runner = part<ui::KeyOperationRunner>(form, "keyOperationRunner");
    const QDeadlineTimer deadline(timeoutMs);
    // The events handled once an operation ends may start the next one (a result that asks for a rebuilt
    // tree, say): that one is waited for too.
    do {
        while (runner->running() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
        QCoreApplication::processEvents();
    } while (runner->running() && !deadline.hasExpired());
    if (runner->running())
        throw std::runtime_error("a key operation did not end");
}
