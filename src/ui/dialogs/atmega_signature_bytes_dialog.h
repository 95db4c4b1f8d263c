#pragma once
// "Signature Bytes Missing": asks for the signature of an ATmega whose signature reads blank
// (FF FF FF), as six hex digits, with "Do not ask again". It hands its values back whichever
// way it is closed.
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

#include "platform/user_prompt.h"

namespace velmora {

class ATMegaSignatureBytesDialog : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxSignatureLength = 6;

  explicit ATMegaSignatureBytesDialog(QWidget* parent = nullptr);

  void SetEntry(const SignatureBytesEntry& entry);
  SignatureBytesEntry Entry() const;

  QLineEdit* signatureEdit() const { return signatureEdit_; }
  QCheckBox* doNotAskAgainBox() const { return doNotAskAgainBox_; }

 private:
  QLineEdit* signatureEdit_;
  QCheckBox* doNotAskAgainBox_;
};

}  // namespace velmora
