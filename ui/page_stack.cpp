#include "page_stack.h"

#include <QStackedWidget>

namespace ui {

void PageStack::show(PageIndex page) {
    pages_.setCurrentIndex(page);
}

PageIndex PageStack::current() const {
    return static_cast<PageIndex>(pages_.currentIndex());
}

} // namespace ui
