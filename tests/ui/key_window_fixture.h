// A main window over keys a scripted library reports, in a private world with scripted message boxes. The
// window records the calls it makes to features that are not part of it (certificate tree, initialisation
// defaults, system check, arrival address), so a test can tell which ones a selection or a scan runs.
#pragma once

#include "config/user_config_folder.h"
#include "form_parts.h"
#include "i18n/string_table.h"
#include "tests/common/scripted_quillard.h"
#include "tests/common/temp_world.h"
#include "token/key_table.h"
#include "ui/main_form.h"
#include "ui/scripted_message_service.h"

#include <QDir>
#include <QFile>
#include <QStackedWidget>
#include <QStringList>
#include <QTableWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

class RecordingMainForm : public TMainForm {
public:
    using TMainForm::TMainForm;

    void BuildCertTree(int32_t key) override {
        calls << QStringLiteral("BuildCertTree(%1)").arg(key);
        if (buildsCertTree)
            TMainForm::BuildCertTree(key);
    }
    void LoadInitDefaults() override { calls << QStringLiteral("LoadInitDefaults"); }
    void ShowSystemInfo() override { calls << QStringLiteral("ShowSystemInfo"); }
    void OpenArrivalURL() override { calls << QStringLiteral("OpenArrivalURL"); }

    QStringList calls;
    // Tests of the certificate tree let the window build it for real.
    bool buildsCertTree = false;
};

// Writes the user's MgrConfig.ini so that the arrival address opens when a key arrives.
inline void writeArrivalSettings() {
    const QString folder = GetUserConfigFolder();
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("MgrConfig.ini"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("<Config><BaseInfo><OpenURL OpenMode=\"1\" URL=\"https://example.invalid/\" "
                          "BrowserMode=\"0\"/><CertEndDay CertDayMode=\"0\" CertDay=\"30\"/>"
                          "<LanguageID>2052</LanguageID><DefaultPIN>1</DefaultPIN></BaseInfo></Config>")
                   .toBase64());
}

// What the scripted library reports for one key.
struct ScriptedKey {
    std::string label; // copied into the 129-byte field; 129 bytes fill it without a terminating zero
    std::string serial = "ZV0001";
    std::string manufacturer = "Norvale";
    std::string model = "Zarto";
    int32_t maxPinLength = 16;
    int32_t minPinLength = 4;
    int32_t totalMemory = 65536;
    int32_t freeMemory = 40960;
    int32_t hardwareVersion = 0x0100;
    int32_t firmwareVersion = 0x0102;
    int32_t retriesLeft = 10;
    int32_t maxRetries = 10;
    int32_t locked = 0;
    int32_t infoResult = 0; // the answer of token_get_info
};

class KeyWindowTest : public ::testing::Test {
protected:
    KeyWindowTest() : library(std::make_unique<ScriptedQuillard>()) {
        i18n::resetStringTable();
        programFolder = QString::fromStdString((world.root() / "program").string()) + QLatin1Char('/');
        QDir().mkpath(programFolder);
        scriptKeys();
    }
    ~KeyWindowTest() override {
        form_.reset();
        i18n::resetStringTable();
    }

    RecordingMainForm& form() {
        if (!form_) {
            form_ = std::make_unique<RecordingMainForm>(programFolder);
            waitAfterEveryAction();
        }
        return *form_;
    }
    // A triggered action returns to the test only once the key operations it started have ended, as a
    // person waits for the hourglass before looking (connected after the window's own handlers, so it runs
    // after them). Tests of what happens while an operation runs turn it off with `waitForActions`.
    void waitAfterEveryAction() {
        for (QAction* action : form_->findChildren<QAction*>())
            QObject::connect(action, &QAction::triggered, form_.get(), [this] {
                if (waitForActions)
                    waitForKeyOperations(*form_);
            });
    }
    bool waitForActions = true;
    void destroyForm() { form_.reset(); }
    // Shows the window: the library starts and the first scan runs.
    RecordingMainForm& shownForm() {
        form().show();
        waitForKeyOperations(form());
        return *form_;
    }

    QTreeWidgetItem* keyList() { return part<QTreeWidget>(form(), "tv")->topLevelItem(0); }
    QTreeWidgetItem* keyNode(int slot) { return keyList()->child(slot); }
    QTableWidget* infoList() { return form().findChild<QTableWidget*>(QStringLiteral("lv")); }
    // The texts of one column of lv, top to bottom.
    QStringList infoColumn(int column) {
        QStringList texts;
        for (int row = 0; row < infoList()->rowCount(); ++row)
            texts << infoList()->item(row, column)->text();
        return texts;
    }
    int page() { return part<QStackedWidget>(form(), "RPC")->currentIndex(); }
    // Selects `node` in tv as a click would.
    void select(QTreeWidgetItem* node) {
        part<QTreeWidget>(form(), "tv")->setCurrentItem(node);
        waitForKeyOperations(form());
    }

    // The library reports `keys`: token_find counts them, token_get_info and token_get_pin_state (user PIN)
    // answer from them by index.
    void scriptKeys() {
        library->token_find = [this](int32_t*, int32_t* count) {
            *count = static_cast<int32_t>(keys.size());
            return int32_t(0);
        };
        library->token_get_info = [this](int32_t idx, char* serial, char* label, char* manufacturer,
                                         char* model, int32_t* maxPin, int32_t* minPin, int32_t*, int32_t*,
                                         int32_t* total, int32_t* free, int32_t* hardware, int32_t* firmware,
                                         int32_t* initialised) {
            const ScriptedKey& key = keys.at(idx);
            copyField(serial, 33, key.serial);
            copyField(label, 129, key.label);
            copyField(manufacturer, 65, key.manufacturer);
            copyField(model, 65, key.model);
            *maxPin = key.maxPinLength;
            *minPin = key.minPinLength;
            *total = key.totalMemory;
            *free = key.freeMemory;
            *hardware = key.hardwareVersion;
            *firmware = key.firmwareVersion;
            *initialised = 1;
            return key.infoResult;
        };
        library->token_get_pin_state = [this](int32_t idx, int32_t userType, int32_t* retries, int32_t* max,
                                              int32_t*, int32_t*, int32_t* locked, int32_t*) {
            if (userType != 1)
                return int32_t(0x54);
            *retries = keys.at(idx).retriesLeft;
            *max = keys.at(idx).maxRetries;
            *locked = keys.at(idx).locked;
            return int32_t(0);
        };
    }

    TempWorld world;
    std::unique_ptr<ScriptedQuillard> library;
    ui::ScriptedMessageService messages;
    QString programFolder;
    std::vector<ScriptedKey> keys;

private:
    static void copyField(char* field, std::size_t size, const std::string& text) {
        std::memset(field, 0, size);
        std::memcpy(field, text.data(), std::min(size, text.size()));
    }

    std::unique_ptr<RecordingMainForm> form_;
};
