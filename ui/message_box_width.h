// Message boxes wide enough for their title. A box fits its text and buttons, so a short notice came out
// narrower than its title bar needs, and the window manager cut the title to "...".
#pragma once

class QMessageBox;

namespace ui {

// Room beside the title: the window icon, the title bar's buttons and their margins.
inline constexpr int kTitleBarReserve = 160;

// The width a box needs to show its window title in full.
int titleWidth(const QMessageBox& box);
// Makes `box` at least titleWidth wide (its layout keeps that width when the box sizes itself to its text).
void keepTitleVisible(QMessageBox& box);

} // namespace ui
