// A main window in a private world: temporary configuration folders, a scripted token library, scripted
// message boxes and a program folder of its own (for the banner and the companion program).
#pragma once

#include "form_parts.h"
#include "i18n/string_table.h"
#include "tests/common/scripted_quillard.h"
#include "tests/common/temp_world.h"
#include "typed_text.h"
#include "ui/main_form.h"
#include "ui/scripted_message_service.h"

#include <QDir>
#include <gtest/gtest.h>
#include <memory>

class MainFormTest : public ::testing::Test {
protected:
    MainFormTest() {
        i18n::resetStringTable();
        programFolder = QString::fromStdString((world.root() / "program").string()) + QLatin1Char('/');
        QDir().mkpath(programFolder);
    }
    ~MainFormTest() override { i18n::resetStringTable(); }

    TMainForm& form() {
        if (!form_)
            form_ = std::make_unique<TMainForm>(programFolder);
        return *form_;
    }
    void destroyForm() { form_.reset(); }

    template <typename T = QObject> T* find(const char* name) {
        return form().findChild<T*>(QString::fromLatin1(name));
    }

    TempWorld world;
    ScriptedQuillard library;
    ui::ScriptedMessageService messages;
    QString programFolder;

private:
    std::unique_ptr<TMainForm> form_;
};
