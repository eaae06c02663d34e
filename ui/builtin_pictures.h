// The pictures built into the main window, painted in code: the banner shown when no banner file is
// installed, the picture of the login page and the program icon.
#pragma once

#include <QIcon>
#include <QPixmap>

namespace ui {

constexpr int kBannerWidth = 674;
constexpr int kBannerHeight = 85;
constexpr int kLoginPictureSize = 48;

QPixmap builtInBanner();
QPixmap loginPicture();
QIcon programIcon();

} // namespace ui
