// The page stack on the right of the window (RPC): the one place that says which page shows. Handlers are
// given it to show the page an action leads to.
#pragma once

class QStackedWidget;

namespace ui {

// Indices of the pages of RPC.
enum PageIndex : int {
    PageKeyInfo = 0,
    PageUserPin = 1,
    PageKeyName = 2,
    PageLogin = 3,
    PageCertificates = 4,
    PageSystemCheck = 5,
    PageAbout = 6,
    PageInit = 7,
    PageSoPin = 8,
    PageUnlock = 9,
    PageIso = 10,
    PageEnrolment = 11, // the certificate request page
    PageCount = 12
};

class PageStack {
public:
    explicit PageStack(QStackedWidget& pages) : pages_(pages) {}

    void show(PageIndex page);
    PageIndex current() const;

private:
    QStackedWidget& pages_;
};

} // namespace ui
