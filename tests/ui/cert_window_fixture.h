// The certificate page over keys: a scripted library that reports containers and certificates chosen by the
// test (CertScriptedTest), or real virtual keys filled with certificates through a second driver on the same
// key files (CertVirtualKeyTest). Helpers log in through the window, read the tree as text and pick nodes.
#pragma once

#include "form_parts.h"
#include "pin_pages_fixture.h"
#include "tests/common/softhsm_token.h"
#include "token/cert_info_record.h"
#include "token/lib/credential.h"
#include "token/lib/paths.h"
#include "token/lib/softkey/softkey_driver.h"
#include "token/lib/softkey/virtual_key_manager.h"
#include "tools/demo_credentials.h"

#include "ui/handlers/cert_import_handler.h"
#include "ui/image_list.h"
#include "ui/pages/certificates_page.h"

#include <QTreeWidget>
#include <cstring>
#include <filesystem>
#include <map>

// Texts of every node of `tree`, depth first, two blanks of indent per level.
inline QStringList treeLines(const QTreeWidget* tree) {
    QStringList lines;
    std::function<void(QTreeWidgetItem*, int)> walk = [&](QTreeWidgetItem* node, int level) {
        lines << QString(level * 2, QLatin1Char(' ')) + node->text(0);
        for (int i = 0; i < node->childCount(); ++i)
            walk(node->child(i), level + 1);
    };
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        walk(tree->topLevelItem(i), 0);
    return lines;
}

// Made once per test run: making key pairs is slow.
inline const quillard::Credential& rsaCredential() {
    static const quillard::Credential credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Tree RSA");
    return credential;
}
inline const quillard::Credential& otherRsaCredential() {
    static const quillard::Credential credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::Rsa2048, "Other RSA");
    return credential;
}
inline const quillard::Credential& ecCredential() {
    static const quillard::Credential credential =
        quillard::demo::makeSelfSignedCredential(quillard::demo::KeyType::EcP256, "Tree EC");
    return credential;
}

class CertPageTest : public PinPagesTest {
protected:
    // Shows the window, building the certificate tree for real.
    RecordingMainForm& certForm() {
        form().buildsCertTree = true;
        shownForm();
        part<QTimer>(form(), "TCheckInit")->stop();
        if (library)
            library->calls.clear();
        messages.clear();
        return form();
    }
    QTreeWidget* certTree() { return part<ui::CertificatesPage>(form(), "TabSheet5")->tvCert; }
    QTreeWidgetItem* certNode(int container, int certificate = -1, int child = -1) {
        QTreeWidgetItem* node = certTree()->topLevelItem(container);
        if (node && certificate >= 0)
            node = node->child(certificate);
        if (node && child >= 0)
            node = node->child(child);
        return node;
    }
    void selectCert(QTreeWidgetItem* node) {
        certTree()->setCurrentItem(node);
        waitForKeyOperations(form());
    }
    // Logs in to `slot` through the login page with `pin`.
    void logInThroughWindow(int slot, const QString& pin) {
        select(taskNode(slot, CertificatesTask));
        typeInto("edtUPIN", pin);
        pressEnter("edtUPIN");
        waitForKeyOperations(form());
    }
};

// A scripted library whose keys hold the containers of `containers` (by slot): each container name maps to
// the certificates it holds by key specification, as DER bytes.
class CertScriptedTest : public CertPageTest {
protected:
    using Certificates = std::map<int32_t, std::vector<uint8_t>>;
    struct Container {
        std::string name;
        Certificates certificates;
    };

    CertScriptedTest() {
        keys.push_back(ScriptedKey{"Key A", "SER-A"});
        goodPin = "1234";
        library->container_load_all = [this](int32_t idx, char* buffer, int32_t* length) {
            if (listResult != 0)
                return listResult;
            std::string names;
            for (const Container& container : containers[idx])
                names += container.name + '\0';
            if (static_cast<int32_t>(names.size()) > *length)
                return int32_t(0x150);
            std::memcpy(buffer, names.data(), names.size());
            *length = static_cast<int32_t>(names.size());
            return int32_t(0);
        };
        library->container_get_cert = [this](int32_t idx, const char* name, int32_t spec, uint8_t* buffer,
                                             int32_t* length) {
            const std::vector<uint8_t>* der = certificate(idx, name, spec);
            if (!der)
                return int32_t(0x82);
            std::memcpy(buffer, der->data(), der->size());
            *length = static_cast<int32_t>(der->size());
            return int32_t(0);
        };
        library->helper_get_cert_info2 = [](const uint8_t* cert, int32_t, uint16_t* subject, uint16_t* issuer,
                                            int32_t* version, char* serial, int32_t* from, int32_t* to,
                                            int32_t* algorithm) {
            // The scripted "certificate" is its subject in ASCII.
            for (int i = 0; cert[i] && i < 256; ++i)
                subject[i] = cert[i];
            issuer[0] = 'I';
            *version = 3;
            serial[0] = '1';
            from[0] = 2026;
            to[0] = 2027;
            *algorithm = 0;
            return int32_t(0);
        };
        library->container_get_pubkey = [this](int32_t idx, const char* name, int32_t spec, int32_t* type,
                                               int32_t* bits, uint8_t*, int32_t*) {
            if (!certificate(idx, name, spec))
                return int32_t(0x82);
            *type = 0;
            *bits = 2048;
            return int32_t(0);
        };
        library->container_get_prikey = [this](int32_t idx, const char* name, int32_t spec, int32_t* type,
                                               int32_t* bits) {
            if (!certificate(idx, name, spec))
                return int32_t(0x82);
            *type = 0;
            *bits = 2048;
            return int32_t(0);
        };
    }

    static std::vector<uint8_t> der(const std::string& subject) {
        std::vector<uint8_t> bytes(subject.begin(), subject.end());
        bytes.push_back(0);
        return bytes;
    }
    const std::vector<uint8_t>* certificate(int32_t idx, const char* name, int32_t spec) {
        for (const Container& container : containers[idx]) {
            if (container.name != name)
                continue;
            auto found = container.certificates.find(spec);
            return found == container.certificates.end() ? nullptr : &found->second;
        }
        return nullptr;
    }
    // The window shown, logged in to key 0, with nothing recorded yet.
    void loggedIn() {
        certForm();
        logInThroughWindow(0, QStringLiteral("1234"));
        library->calls.clear();
        messages.clear();
    }

    std::map<int32_t, std::vector<Container>> containers;
    int32_t listResult = 0;
};

// Real virtual keys and the real library.
class CertVirtualKeyTest : public CertPageTest {
protected:
    static constexpr const char* kPin = "1234";

    CertVirtualKeyTest() { library.reset(); }

    void createKey(const std::string& serial, int64_t totalMemory = 65536) {
        quillard::VirtualKeySettings settings;
        settings.serial = serial;
        settings.label = "Key " + serial;
        settings.userPin = kPin;
        settings.soPin = "87654321";
        settings.userPolicy = {4, 8, 5};
        settings.totalMemory = totalMemory;
        settings.kdfIterations = 16;
        std::string created;
        std::string detail;
        ASSERT_EQ(quillard::VirtualKeyManager().create(settings, created, &detail), 0) << detail;
    }
    // Puts `credential` under `spec` into container `name` of key `serial`, creating the container.
    void fill(const std::string& serial, const std::string& name, int32_t spec,
              const quillard::Credential* credential) {
        quillard::SoftkeyDriver driver{quillard::keysFolder()};
        std::vector<std::string> serials;
        ASSERT_EQ(driver.find(serials), 0);
        const auto idx =
            static_cast<int32_t>(std::find(serials.begin(), serials.end(), serial) - serials.begin());
        int32_t retries = 0;
        ASSERT_EQ(driver.login(idx, quillard::PinKind::User, kPin, retries), 0);
        std::vector<std::string> names;
        driver.listContainers(idx, names);
        if (std::find(names.begin(), names.end(), name) == names.end()) {
            ASSERT_EQ(driver.createContainer(idx, name), 0);
        }
        if (credential) {
            ASSERT_EQ(driver.importCredential(idx, name, spec, *credential), 0);
        }
    }
    // The window shown over the keys, logged in to `slot`.
    void loggedIn(int slot = 0) {
        certForm();
        logInThroughWindow(slot, QString::fromLatin1(kPin));
        ASSERT_EQ(loginState(slot), token::LoggedIn);
        messages.clear();
    }
};

// A SoftHSM2 token of the test's own token folder beside one virtual key, both through the real library: the
// window's module name brings p11-kit's registered modules, so it lists the virtual key first (slot 0) and
// the token second (slot 1). User PIN 12345678, SO PIN 87654321.
class CertTokenTest : public CertVirtualKeyTest {
protected:
    static constexpr const char* kTokenLabel = "Real token";
    static constexpr int kTokenSlot = 1;

    void SetUp() override {
        if (!softhsm::registeredWithP11Kit())
            GTEST_SKIP() << "SoftHSM2 is not registered with p11-kit";
        ASSERT_TRUE(softhsm::initToken(kTokenLabel));
        createKey("VK000001");
    }
    QString pkcs12File(const char* name, const quillard::Credential& credential) {
        const auto path = world.root() / name;
        std::string error;
        EXPECT_TRUE(quillard::demo::writePkcs12File(path, credential, "secret", false, &error)) << error;
        return QString::fromStdString(path.string());
    }
    // Before the window starts: `credential` (none: only the container) under `spec` in container `name`.
    void fillToken(const std::string& name, int32_t spec, const quillard::Credential* credential) {
        const std::string file = credential ? pkcs12File("fill.p12", *credential).toStdString() : "";
        ASSERT_TRUE(softhsm::fillToken(kTokenLabel, name, spec, file, "secret"));
    }
    void loggedInToToken() {
        certForm();
        ASSERT_EQ(token::keyTable().keyCount, 2);
        logInThroughWindow(kTokenSlot, QString::fromLatin1(softhsm::kUserPin));
        ASSERT_EQ(loginState(kTokenSlot), token::LoggedIn);
        messages.clear();
    }
};
