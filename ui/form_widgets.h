// Makers of the main window's widgets: each gets its object name (the name other code finds it by), its
// geometry in pixels and its fixed properties, so every page is put together the same way.
#pragma once

#include <QRect>
#include <QString>
#include <initializer_list>

class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class QTreeWidget;
class QWidget;

namespace ui {

class ActionButton;

// How a field shows what is typed into it.
enum class Echo { Clear, Masked };

inline constexpr int kPageWidth = 448;
inline constexpr int kPageHeight = 321;
inline constexpr int kPinMaxLength = 16;
inline constexpr int kNameMaxLength = 32;
inline constexpr int kRowHeight = 21;
inline constexpr int kButtonHeight = 25;

QLabel* makeLabel(QWidget* parent, const char* name, const QRect& geometry,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// A single-line field holding at most `maxLength` characters; a masked field shows each character as "*".
QLineEdit* makeEdit(QWidget* parent, const char* name, const QRect& geometry, int maxLength,
                    Echo echo = Echo::Clear);
// A PIN or password field (a PinEdit, see pin_edit.h): masked, holding at most `maxLength` characters, its
// real text read only with pinBytes(). makeEdit(..., Echo::Masked) makes the same.
QLineEdit* makePinEdit(QWidget* parent, const char* name, const QRect& geometry, int maxLength);
// Gives an existing field the masked look.
void maskEdit(QLineEdit* edit);
ActionButton* makeButton(QWidget* parent, const char* name, QAction* action, const QRect& geometry);
QSpinBox* makeSpin(QWidget* parent, const char* name, const QRect& geometry, int minimum, int maximum,
                   int value);
// A frame without caption.
QGroupBox* makeFrame(QWidget* parent, const char* name, const QRect& geometry);
// A read-only report list with grid lines, whole-row selection and the given column widths.
QTableWidget* makeReportList(QWidget* parent, const char* name, const QRect& geometry,
                             std::initializer_list<int> columnWidths);
// A read-only tree with hot tracking, 19-pixel indent and 16 x 16 icons, whose selection stays visible when
// it loses the focus.
QTreeWidget* makeTree(QWidget* parent, const char* name, const QRect& geometry);

// Enter in `edit` runs `action` directly, whether or not the action is enabled.
void runActionOnEnter(QLineEdit* edit, QAction* action);

} // namespace ui
