#include "pin_check.h"

#include "i18n/outcome_texts.h"
#include "token/flows/key_session.h"
#include "ui/key_operation_runner.h"
#include "ui/message_service.h"

namespace ui {

void whenPinUsable(KeyOperationRunner& runner, int32_t key, token::PinType type, QWidget* owner,
                   const std::function<void()>& next) {
    runner.run([key, type] { return token::flows::checkPin(key, type); },
               [owner, next](token::flows::PinCheck check) {
                   if (check == token::flows::PinCheck::Usable)
                       next();
                   else
                       messageService().inform(owner, i18n::pinCheckText(check));
               });
}

} // namespace ui
