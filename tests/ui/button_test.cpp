#include <gtest/gtest.h>

#include <QCursor>
#include <QSignalSpy>
#include <QTest>

#include "ui/controls/cqel_button.h"
#include "ui/controls/icon_art.h"
#include "widget_test_support.h"

namespace velmora {
namespace {

using testing::Rgb;
using testing::WaitFor;

constexpr QRgb kMagenta = qRgb(255, 0, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 255, 0);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlack = qRgb(0, 0, 0);
constexpr QRgb kPageColour = qRgb(0x20, 0x40, 0x60);

// 4 x 2 pixels, background (top-left) magenta:
//   magenta red   green magenta
//   blue    white red   magenta
QImage TestBitmap() {
  QImage image(4, 2, QImage::Format_RGB32);
  const QRgb pixels[2][4] = {{kMagenta, kRed, kGreen, kMagenta}, {kBlue, kWhite, kRed, kMagenta}};
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) image.setPixel(x, y, pixels[y][x]);
  }
  return image;
}

QRgb Grey(int level) {
  return qRgb(level, level, level);
}

TEST(CqelButtonImages, DerivesGreyAndDottedDisabledImagesFromOneBitmap) {
  CqelButton button;
  button.SetStateImage(CqelButton::kHighlightedImage, TestBitmap(), false);
  button.SetStateImage(CqelButton::kNormalImage, TestBitmap(), true);
  button.SetStateImage(CqelButton::kDisabledImage, TestBitmap(), true);

  // Grey level (14 r + 11 g + 5 b) / 30: red 119, green 93, blue 42, white 255.
  struct Pixel {
    int x, y;
    QRgb highlighted, normal, disabled;  // disabled: grey only where x + y is odd
  };
  const Pixel pixels[] = {
      {0, 0, kMagenta, kMagenta, kMagenta}, {1, 0, kRed, Grey(119), Grey(119)},
      {2, 0, kGreen, Grey(93), kMagenta},   {3, 0, kMagenta, kMagenta, kMagenta},
      {0, 1, kBlue, Grey(42), Grey(42)},    {1, 1, kWhite, Grey(255), kMagenta},
      {2, 1, kRed, Grey(119), Grey(119)},   {3, 1, kMagenta, kMagenta, kMagenta},
  };
  for (const Pixel& p : pixels) {
    EXPECT_EQ(Rgb(button.StateImage(0).pixel(p.x, p.y)), Rgb(p.highlighted)) << p.x << "," << p.y;
    EXPECT_EQ(Rgb(button.StateImage(1).pixel(p.x, p.y)), Rgb(p.normal)) << p.x << "," << p.y;
    EXPECT_EQ(Rgb(button.StateImage(2).pixel(p.x, p.y)), Rgb(p.disabled)) << p.x << "," << p.y;
  }
}

TEST(CqelButtonImages, EveryIconResourceHasArtOnATransparentBackground) {
  for (int resource : {icon::kBrowse, icon::kSave, icon::kHome, icon::kUpdateProgramMemory,
                       icon::kCompactMode, icon::kBasicTest, icon::kReadRamAfterReset,
                       icon::kBasicTestCompact, icon::kReadEepromAfterReset, icon::kScriptFile}) {
    CqelButton button;
    button.LoadIconBitmap(resource);
    const QImage image = button.StateImage(CqelButton::kHighlightedImage);
    ASSERT_FALSE(image.isNull()) << resource;
    EXPECT_EQ(image.pixel(0, 0), kIconBackground) << resource;
    EXPECT_NE(image, button.StateImage(CqelButton::kNormalImage)) << resource;
    EXPECT_EQ(image.size(), button.StateImage(CqelButton::kDisabledImage).size()) << resource;
    int drawn = 0;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) drawn += image.pixel(x, y) != kIconBackground;
    }
    EXPECT_GT(drawn, image.width() * image.height() / 5) << resource;
  }
  EXPECT_TRUE(IconBitmap(9999).isNull());
}

// A 20 x 20 button on a dark blue page, showing the test bitmap centred at (8, 9).
class CqelButtonTest : public ::testing::Test {
 protected:
  static constexpr QPoint kImageAt{8, 9};

  CqelButtonTest() {
    page.setAutoFillBackground(true);
    QPalette palette = page.palette();
    palette.setColor(QPalette::Window, QColor(kPageColour));
    page.setPalette(palette);
    page.setFocusPolicy(Qt::StrongFocus);
    page.resize(80, 60);
    button = new CqelButton(&page);
    button->setGeometry(10, 10, 20, 20);
    button->SetStateImage(CqelButton::kHighlightedImage, TestBitmap(), false);
    button->SetStateImage(CqelButton::kNormalImage, TestBitmap(), true);
    button->SetStateImage(CqelButton::kDisabledImage, TestBitmap(), true);
    page.show();
    page.setFocus();
    QCursor::setPos(page.mapToGlobal(QPoint(70, 50)));
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
  }

  // The button's pixels as drawn over the page.
  QImage Shot() { return page.grab(button->geometry()).toImage(); }

  void MoveOntoButton() { QCursor::setPos(button->mapToGlobal(QPoint(10, 10))); }
  void MoveOffButton() { QCursor::setPos(page.mapToGlobal(QPoint(70, 50))); }

  QWidget page;
  CqelButton* button;
};

TEST_F(CqelButtonTest, DrawsTheNormalImageTransparentlyWithoutFrame) {
  EXPECT_EQ(button->CurrentImageIndex(), CqelButton::kNormalImage);
  const QImage shot = Shot();
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(1, 0))), Rgb(Grey(119)));
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(0, 1))), Rgb(Grey(42)));
  EXPECT_EQ(Rgb(shot.pixel(kImageAt)), Rgb(kPageColour));  // background pixel: transparent
  EXPECT_EQ(Rgb(shot.pixel(0, 0)), Rgb(kPageColour));      // no frame
  EXPECT_EQ(Rgb(shot.pixel(19, 19)), Rgb(kPageColour));
}

TEST_F(CqelButtonTest, HoverShowsHighlightedImageAndRaisedFrameUntilTheCursorLeaves) {
  MoveOntoButton();
  ASSERT_TRUE(WaitFor([&] { return button->hover(); }));
  EXPECT_TRUE(button->hoverTimerRunning());
  EXPECT_EQ(button->CurrentImageIndex(), CqelButton::kHighlightedImage);
  QImage shot = Shot();
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(1, 0))), Rgb(kRed));
  EXPECT_EQ(Rgb(shot.pixel(0, 5)), Rgb(kWhite));   // left edge
  EXPECT_EQ(Rgb(shot.pixel(5, 0)), Rgb(kWhite));   // top edge
  EXPECT_EQ(Rgb(shot.pixel(19, 5)), Rgb(kBlack));  // right edge
  EXPECT_EQ(Rgb(shot.pixel(5, 19)), Rgb(kBlack));  // bottom edge

  MoveOffButton();
  ASSERT_TRUE(WaitFor([&] { return !button->hover(); }));
  EXPECT_FALSE(button->hoverTimerRunning());
  EXPECT_EQ(button->CurrentImageIndex(), CqelButton::kNormalImage);
  shot = Shot();
  EXPECT_EQ(Rgb(shot.pixel(0, 5)), Rgb(kPageColour));
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(1, 0))), Rgb(Grey(119)));
}

TEST_F(CqelButtonTest, PressSinksTheFrameAndShiftsTheImageOnePixel) {
  MoveOntoButton();
  ASSERT_TRUE(WaitFor([&] { return button->hover(); }));
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_TRUE(button->pressed());
  const QImage shot = Shot();
  EXPECT_EQ(Rgb(shot.pixel(0, 5)), Rgb(kBlack));
  EXPECT_EQ(Rgb(shot.pixel(19, 5)), Rgb(kWhite));
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(1, 0))), Rgb(kPageColour));  // the row above it
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(2, 1))), Rgb(kRed));         // red pixel (1, 0) moved
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(1, 2))), Rgb(kBlue));
  QSignalSpy clicks(button, &QPushButton::clicked);
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_FALSE(button->pressed());
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(CqelButtonTest, DisabledButtonShowsItsDisabledImageAndNoFrameEvenUnderTheMouse) {
  MoveOntoButton();
  ASSERT_TRUE(WaitFor([&] { return button->hover(); }));
  button->setEnabled(false);
  EXPECT_EQ(button->CurrentImageIndex(), CqelButton::kDisabledImage);
  const QImage shot = Shot();
  EXPECT_EQ(Rgb(shot.pixel(0, 5)), Rgb(kPageColour));
  EXPECT_EQ(Rgb(shot.pixel(19, 5)), Rgb(kPageColour));
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(1, 0))), Rgb(Grey(119)));    // x + y odd
  EXPECT_EQ(Rgb(shot.pixel(kImageAt + QPoint(2, 0))), Rgb(kPageColour));  // x + y even
}

TEST_F(CqelButtonTest, FocusShowsTheHighlightedImage) {
  button->setFocus();
  EXPECT_EQ(button->CurrentImageIndex(), CqelButton::kHighlightedImage);
  EXPECT_EQ(Rgb(Shot().pixel(kImageAt + QPoint(1, 0))), Rgb(kRed));
}

TEST_F(CqelButtonTest, EnterOnTheFocusedButtonClicksIt) {
  QSignalSpy clicks(button, &QPushButton::clicked);
  button->setFocus();
  QTest::keyClick(button, Qt::Key_Return);
  EXPECT_EQ(clicks.count(), 1);
  QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
  EXPECT_EQ(clicks.count(), 2);
  QTest::keyClick(button, Qt::Key_A);
  EXPECT_EQ(clicks.count(), 2);
}

}  // namespace
}  // namespace velmora
