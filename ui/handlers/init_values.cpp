#include "init_values.h"

#include "platform/secure_wipe.h"
#include "ui/pages/init_page.h"
#include "ui/pin_edit.h"

#include <QLineEdit>
#include <QSpinBox>

namespace ui {

namespace {

void showSecret(QLineEdit& field, const platform::SecretBytes& secret) {
    QString text = QString::fromLocal8Bit(secret.bytes());
    field.setText(text);
    platform::secureWipe(text);
}

int32_t committedValue(QSpinBox& spin) {
    spin.interpretText();
    return spin.value();
}

} // namespace

void showInitValues(InitPage& page, const TZartoBaseInfo& baseInfo) {
    page.edtInit_KeyName->setText(baseInfo.LabelName);
    page.edtInit_GS->setText(QString::fromLocal8Bit(baseInfo.manufacture));
    page.edtInit_UnLockPIN->setText(QString::fromLocal8Bit(baseInfo.Issuer));
    showSecret(*page.edtInit_SPIN, baseInfo.default_sopin);
    showSecret(*page.edtInit_UPIN, baseInfo.default_upin);
    page.edtInit_PINLenMax->setValue(baseInfo.maxUPINLen);
    page.edtInit_PINlenMin->setValue(baseInfo.minUPINLen);
    page.edtInit_MaxCount->setValue(baseInfo.uPinRetryTimes);
    page.edtInit_SOPINlenMax->setValue(baseInfo.maxSOPINLen);
    page.edtInit_SOPINlenMin->setValue(baseInfo.minSOPINLen);
    page.edtInit_MaxCount_SOPIN->setValue(baseInfo.soPinRetryTimes);
}

TZartoBaseInfo collectInitValues(InitPage& page) {
    TZartoBaseInfo values;
    values.LabelName = page.edtInit_KeyName->text();
    values.manufacture = page.edtInit_GS->text().toLocal8Bit();
    values.Issuer = page.edtInit_UnLockPIN->text().toLocal8Bit();
    values.default_sopin = pinBytes(*page.edtInit_SPIN);
    values.default_upin = pinBytes(*page.edtInit_UPIN);
    values.uPinRetryTimes = committedValue(*page.edtInit_MaxCount);
    values.soPinRetryTimes = committedValue(*page.edtInit_MaxCount_SOPIN);
    values.minUPINLen = committedValue(*page.edtInit_PINlenMin);
    values.maxUPINLen = committedValue(*page.edtInit_PINLenMax);
    values.minSOPINLen = committedValue(*page.edtInit_SOPINlenMin);
    values.maxSOPINLen = committedValue(*page.edtInit_SOPINlenMax);
    return values;
}

} // namespace ui
