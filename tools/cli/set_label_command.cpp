#include "set_label_command.h"

#include "cli_texts.h"
#include "failure.h"
#include "platform/blank_trim.h"
#include "token/flows/set_key_label.h"

namespace cli {

std::string SetLabelCommand::usage() const {
    return "usage: pellorzu-cli set-label KEY LABEL\n"
           "Sets the key's label: LABEL without the blanks and control characters at either end, fewer than\n"
           "32 bytes of UTF-8. Refused while the user PIN is locked.\n";
}

int SetLabelCommand::run(Invocation& invocation) {
    invocation.expectAtMost(2);
    const FoundKey& key = invocation.writableKey(0);
    const QString label =
        platform::trimBlanksAndControls(QString::fromLocal8Bit(invocation.word(1, "LABEL")));
    using token::flows::LabelResult;
    switch (token::flows::setKeyLabel(key.slot, label.toStdU16String())) {
    case LabelResult::UserPinLocked:
        throw Failure(kPinRefused, windowText("K_Dead"));
    case LabelResult::TooLong:
        throw Failure(kUsage, windowText("K_Len_Error"));
    case LabelResult::Refused:
        throw Failure(kFailed, windowText("K_Set_No"));
    case LabelResult::Set:
        break;
    }
    invocation.print(windowText("K_Set_Yes"));
    return kDone;
}

} // namespace cli
