// OpenArrivalURL: opening the address configured for key arrivals. The text is trimmed of blanks and control
// characters and read as an address the way a user would type it ("www.example.com" becomes an http
// address); text that is not a valid address opens nothing, so nothing the configuration holds can reach the
// browser as a command-line option.
#pragma once

#include <QString>

namespace ui {

// Browser mode 0 hands the address to the desktop's handler for it, any other mode to the system's browser
// command. The outcome is not examined.
void openArrivalUrl(const QString& url, int browserMode);

} // namespace ui
