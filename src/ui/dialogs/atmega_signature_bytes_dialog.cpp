#include "ui/dialogs/atmega_signature_bytes_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace velmora {

ATMegaSignatureBytesDialog::ATMegaSignatureBytesDialog(QWidget* parent)
    : QDialog(parent),
      signatureEdit_(new QLineEdit),
      doNotAskAgainBox_(new QCheckBox(QStringLiteral("Do not ask again"))) {
  setWindowTitle(QStringLiteral("Signature Bytes Missing"));

  signatureEdit_->setObjectName(QStringLiteral("signatureText"));
  signatureEdit_->setMaxLength(kMaxSignatureLength);
  // Only hex digits: the text is read as three hex bytes, anything else would be garbage.
  signatureEdit_->setValidator(new QRegularExpressionValidator(
      QRegularExpression(QStringLiteral("[0-9A-Fa-f]{0,6}")), signatureEdit_));
  doNotAskAgainBox_->setObjectName(QStringLiteral("doNotAskAgain"));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("Enter Signature Bytes as Hex. i.e. 1E9602")));
  layout->addWidget(signatureEdit_);
  layout->addWidget(doNotAskAgainBox_);
  layout->addWidget(buttons);
  setFixedSize(sizeHint());
}

void ATMegaSignatureBytesDialog::SetEntry(const SignatureBytesEntry& entry) {
  signatureEdit_->setText(QString::fromStdString(entry.signatureText));
  doNotAskAgainBox_->setChecked(entry.doNotAskAgain);
}

SignatureBytesEntry ATMegaSignatureBytesDialog::Entry() const {
  return {.signatureText = signatureEdit_->text().toStdString(),
          .doNotAskAgain = doNotAskAgainBox_->isChecked()};
}

}  // namespace velmora
