// Renders every owner-drawn control and dialog into PNG files (one per control) in the
// directory given on the command line, so they can be looked at without a display; an optional
// whole-number zoom enlarges the pictures pixel by pixel:
//   QT_QPA_PLATFORM=offscreen velmora-controls-gallery /tmp/gallery [ZOOM]
#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "ui/controls/cqel_button.h"
#include "ui/controls/cqel_list_box.h"
#include "ui/controls/cqel_progress_ctrl.h"
#include "ui/controls/icon_art.h"
#include "ui/dialogs/atmega_signature_bytes_dialog.h"
#include "ui/dialogs/hex_save_dialog.h"
#include "ui/dialogs/qt_user_prompt.h"

namespace velmora {
namespace {

constexpr int kIcons[] = {icon::kHome,
                          icon::kSave,
                          icon::kBrowse,
                          icon::kBasicTest,
                          icon::kCompactMode,
                          icon::kReadRamAfterReset,
                          icon::kReadEepromAfterReset,
                          icon::kScriptFile,
                          icon::kUpdateProgramMemory};

int zoom = 1;

bool WritePicture(const QImage& picture, const QDir& dir, const char* name) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  const bool ok =
      picture.scaled(picture.size() * zoom, Qt::IgnoreAspectRatio, Qt::FastTransformation)
          .save(path);
  std::printf("%s %s\n", ok ? "wrote" : "FAILED", qPrintable(path));
  return ok;
}

void Settle(int milliseconds) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < milliseconds) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

bool Save(QWidget& widget, const QDir& dir, const char* name) {
  widget.show();
  Settle(50);
  return WritePicture(widget.grab().toImage(), dir, name);
}

// Rows: normal, focused (highlighted image), under the mouse, disabled.
bool SaveButtons(const QDir& dir) {
  QWidget page;
  page.setAutoFillBackground(true);
  QPalette palette = page.palette();
  palette.setColor(QPalette::Window, QColor(0xD8, 0xE4, 0xF0));
  page.setPalette(palette);
  auto* grid = new QGridLayout(&page);
  std::vector<CqelButton*> hovered;
  for (int column = 0; column < static_cast<int>(std::size(kIcons)); ++column) {
    for (int row = 0; row < 4; ++row) {
      auto* button = new CqelButton;
      button->LoadIconBitmap(kIcons[column]);
      button->setFixedSize(button->sizeHint() + QSize(4, 4));
      button->setEnabled(row != 3);
      grid->addWidget(button, row, column);
      if (row == 2) hovered.push_back(button);
    }
  }
  page.setFocusPolicy(Qt::StrongFocus);
  page.show();
  page.setFocus();  // row 1 shows the focused look, the others none
  Settle(50);
  // Only one button can be under the cursor: grab each hovered one and paste it in.
  QImage sheet = page.grab().toImage();
  for (CqelButton* button : hovered) {
    QCursor::setPos(button->mapToGlobal(button->rect().center()));
    Settle(250);
    QPainter painter(&sheet);
    painter.drawPixmap(button->mapTo(&page, QPoint(0, 0)), page.grab(button->geometry()));
  }
  QCursor::setPos(-100, -100);
  Settle(250);
  QPainter painter(&sheet);
  for (int column = 0; column < static_cast<int>(std::size(kIcons)); ++column) {
    auto* focused = static_cast<CqelButton*>(grid->itemAtPosition(1, column)->widget());
    focused->setFocus();
    Settle(20);
    painter.drawPixmap(focused->mapTo(&page, QPoint(0, 0)), page.grab(focused->geometry()));
  }
  painter.end();
  return WritePicture(sheet, dir, "buttons.png");
}

bool SaveProgressBars(const QDir& dir) {
  struct Sample {
    const char* caption;
    int position;
    ColorRef bar, filledText, emptyText;
  };
  const Sample samples[] = {
      {"Programming", 500, kGradientBarColour, 0xFFFFFF, 0x000000},
      {"ID && Config", 999, kGradientBarColour, 0xFFFFFF, 0x000000},
      {"Success", 999, 0x00FF00, 0x000000, 0x000000},
      {"Fail", 999, 0x0000FF, 0xFFFFFF, 0xFFFFFF},
      {"No PIC !!!", 1000, kGradientBarColour, 0xFFFFFF, 0xFFFFFF},
      {"New Software", 0, kGradientBarColour, 0xFFFFFF, 0x000000},
  };
  QWidget page;
  auto* layout = new QVBoxLayout(&page);
  for (const Sample& sample : samples) {
    auto* bar = new CqelProgressCtrl;
    bar->setFixedSize(560, 26);
    bar->SetState({.caption = sample.caption,
                   .position = sample.position,
                   .barColour = sample.bar,
                   .filledTextColour = sample.filledText,
                   .emptyTextColour = sample.emptyText});
    layout->addWidget(bar);
  }
  return Save(page, dir, "progress.png");
}

bool SaveListBox(const QDir& dir) {
  CqelListBox list;
  list.resize(640, 220);
  QStringList lines = {
      "   ",
      "10:15:02:31   *** Programming PIC18F4550",
      "10:15:02:35   Erasing...",
      "10:15:04:90   Flash memory OK.",
      "10:15:05:12   EEPROM OK.",
  };
  for (int row = 0; row < 6; ++row) {
    QString dump = QStringLiteral("%1").arg(row * 16, 6, 16, QLatin1Char('0')).toUpper();
    for (int column = 0; column < 16; ++column) {
      dump += QStringLiteral("\t%1").arg((row * 37 + column * 11) & 0xFF, 2, 16, QLatin1Char('0'));
    }
    lines << dump.toUpper();
  }
  lines << "10:15:05:20   *** Finished Successfully *** 2:891";
  list.SetLines(lines);
  return Save(list, dir, "listbox.png");
}

bool SaveDialogs(const QDir& dir) {
  CHexSaveDialog hexSave;
  hexSave.setDirectory(dir);
  hexSave.setSaveEmptyAreas(true);
  hexSave.resize(640, 420);
  ATMegaSignatureBytesDialog signature;
  signature.SetEntry({.signatureText = "1E9602", .doNotAskAgain = false});
  QMessageBox box(MessageBoxIcon(mb::kErrorAlert), "Programmer Error",
                  "No AVR device detected.\nCannot continue...", MessageBoxButtons(mb::kOk));
  return Save(hexSave, dir, "hexsave.png") && Save(signature, dir, "signature.png") &&
         Save(box, dir, "messagebox.png");
}

}  // namespace
}  // namespace velmora

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY [ZOOM]\n", argv[0]);
    return 2;
  }
  if (argc == 3) velmora::zoom = std::max(1, std::atoi(argv[2]));
  QDir dir(QString::fromLocal8Bit(argv[1]));
  if (!dir.mkpath(QStringLiteral("."))) return 1;
  using namespace velmora;
  const bool ok = SaveButtons(dir) && SaveProgressBars(dir) && SaveListBox(dir) && SaveDialogs(dir);
  return ok ? 0 : 1;
}
