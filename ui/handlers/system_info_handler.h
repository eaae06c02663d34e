// The system check page: five rows of facts about this host, rebuilt at each visit. The operating system,
// the default browser with its version, whether the key's provider is installed (the token library's own
// provider or a PKCS#11 module registered with p11-kit, by name), and the versions of the provider module and
// of the PKCS#11 module files. No module is loaded, and the browser is asked for its version once a run.
#pragma once

#include "platform/default_browser.h"
#include "platform/host_sources.h"

#include <QObject>
#include <optional>

namespace ui {

class SystemCheckPage;

class SystemInfoHandler : public QObject {
    Q_OBJECT
public:
    SystemInfoHandler(SystemCheckPage& page, QObject* parent);

    // Where the host facts come from; the real host unless a test sets its own (which also forgets the
    // browser asked before).
    void setHostSources(const platform::HostSources& sources);

    // Clears LVSystemInfo and adds its five rows.
    void ShowSystemInfo();

private:
    QString browserText();
    QString providerStateText() const;
    // The file examined for the module named by the text `nameKey`: the token library's own file for the
    // maker's names, else the name in the first of `folders` that holds it, else in the last folder.
    QString modulePath(const char* nameKey, const QStringList& folders) const;

    SystemCheckPage& page_;
    platform::HostSources sources_;
    std::optional<platform::BrowserFacts> browser_;
};

} // namespace ui
