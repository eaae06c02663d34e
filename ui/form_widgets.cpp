#include "form_widgets.h"

#include "action_button.h"
#include "pin_edit.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTableWidget>
#include <QTreeWidget>

namespace ui {

namespace {

// The style sheet property behind the "*" mask (the platform would otherwise pick its own mask character).
const QString kMaskStyle = QStringLiteral("QLineEdit { lineedit-password-character: 42; }");

template <typename Widget> Widget* place(Widget* widget, const char* name, const QRect& geometry) {
    widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

} // namespace

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry, Qt::Alignment alignment) {
    auto* label = place(new QLabel(parent), name, geometry);
    label->setAlignment(alignment);
    return label;
}

QLineEdit* makeEdit(QWidget* parent, const char* name, const QRect& geometry, int maxLength, Echo echo) {
    if (echo == Echo::Masked)
        return makePinEdit(parent, name, geometry, maxLength);
    auto* edit = place(new QLineEdit(parent), name, geometry);
    edit->setMaxLength(maxLength);
    return edit;
}

QLineEdit* makePinEdit(QWidget* parent, const char* name, const QRect& geometry, int maxLength) {
    auto* edit = place(new PinEdit(parent), name, geometry);
    edit->setMaxLength(maxLength);
    maskEdit(edit);
    return edit;
}

void maskEdit(QLineEdit* edit) {
    edit->setEchoMode(QLineEdit::Password);
    edit->setStyleSheet(kMaskStyle);
}

ActionButton* makeButton(QWidget* parent, const char* name, QAction* action, const QRect& geometry) {
    return place(new ActionButton(action, parent), name, geometry);
}

QSpinBox* makeSpin(QWidget* parent, const char* name, const QRect& geometry, int minimum, int maximum,
                   int value) {
    auto* spin = place(new QSpinBox(parent), name, geometry);
    spin->setRange(minimum, maximum);
    spin->setValue(value);
    return spin;
}

QGroupBox* makeFrame(QWidget* parent, const char* name, const QRect& geometry) {
    return place(new QGroupBox(parent), name, geometry);
}

QTableWidget* makeReportList(QWidget* parent, const char* name, const QRect& geometry,
                             std::initializer_list<int> columnWidths) {
    auto* list = place(new QTableWidget(0, static_cast<int>(columnWidths.size()), parent), name, geometry);
    list->setShowGrid(true);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->verticalHeader()->hide();
    list->verticalHeader()->setDefaultSectionSize(18);
    list->horizontalHeader()->setHighlightSections(false);
    list->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    int column = 0;
    for (int width : columnWidths)
        list->setColumnWidth(column++, width);
    return list;
}

QTreeWidget* makeTree(QWidget* parent, const char* name, const QRect& geometry) {
    auto* tree = place(new QTreeWidget(parent), name, geometry);
    tree->setHeaderHidden(true);
    tree->setColumnCount(1);
    // Long node texts are shown whole; the tree scrolls sideways instead of cutting them short.
    tree->header()->setStretchLastSection(false);
    tree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tree->setIndentation(19);
    tree->setIconSize(QSize(16, 16));
    tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tree->setMouseTracking(true);
    tree->setAttribute(Qt::WA_Hover);
    QPalette palette = tree->palette();
    for (auto role : {QPalette::Highlight, QPalette::HighlightedText})
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    tree->setPalette(palette);
    return tree;
}

void runActionOnEnter(QLineEdit* edit, QAction* action) {
    // QAction::trigger() does nothing while the action is disabled; the form's action runs regardless.
    QObject::connect(edit, &QLineEdit::returnPressed, action, [action] { emit action->triggered(false); });
}

} // namespace ui
