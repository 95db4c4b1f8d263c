#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <thread>

#include "ui/controls/cqel_progress_ctrl.h"
#include "widget_test_support.h"

namespace velmora {
namespace {

using testing::Rgb;

constexpr int kWidth = 400;
constexpr int kHeight = 30;
constexpr QRgb kCream = qRgb(0xFF, 0xE0, 0x88);  // the empty part, COLORREF 0x0088E0FF

class ProgressCtrlTest : public ::testing::Test {
 protected:
  ProgressCtrlTest() { bar.setFixedSize(kWidth, kHeight); }

  QImage Draw(const ProgressDrawState& state) {
    bar.SetState(state);
    return bar.grab().toImage();
  }

  CqelProgressCtrl bar;
};

TEST_F(ProgressCtrlTest, GradientFillsTheLeftHalfAtPosition500Of999) {
  const QImage image = Draw({.caption = "", .position = 500, .barColour = kGradientBarColour});

  // Column x stands for per-mille x * 1000 / 400; below 500 it is filled with
  // red = (o / 20 - 51) & 0xFF, green = o / 7 + 55, blue = 0.
  struct Column {
    int x;
    QRgb colour;
  };
  const Column columns[] = {
      {1, qRgb(205, 55, 0)},     // o = 2
      {100, qRgb(217, 90, 0)},   // o = 250
      {160, qRgb(225, 112, 0)},  // o = 400
      {199, qRgb(229, 126, 0)},  // o = 497, the last filled column
      {200, kCream},             // o = 500
      {300, kCream},
      {kWidth - 2, kCream},
  };
  for (const Column& column : columns) {
    for (int y : {1, kHeight / 2, kHeight - 2}) {
      EXPECT_EQ(Rgb(image.pixel(column.x, y)), Rgb(column.colour))
          << "x " << column.x << " y " << y;
    }
  }
  for (int x = 1; x < kWidth - 1; ++x) {
    const bool filled = image.pixel(x, kHeight / 2) != kCream;
    EXPECT_EQ(filled, x < 200) << "column " << x;
  }
}

TEST_F(ProgressCtrlTest, SunkenFrameIsGreyTopLeftAndWhiteBottomRight) {
  const QImage image = Draw({.caption = "", .position = 999, .barColour = 0x0000FF});
  const QRgb grey = qRgb(0x80, 0x80, 0x80);
  const QRgb white = qRgb(0xFF, 0xFF, 0xFF);
  for (int y = 0; y < kHeight - 1; ++y) EXPECT_EQ(Rgb(image.pixel(0, y)), Rgb(grey)) << y;
  for (int x = 0; x < kWidth - 1; ++x) EXPECT_EQ(Rgb(image.pixel(x, 0)), Rgb(grey)) << x;
  for (int y = 1; y < kHeight; ++y) EXPECT_EQ(Rgb(image.pixel(kWidth - 1, y)), Rgb(white)) << y;
  for (int x = 1; x < kWidth; ++x) EXPECT_EQ(Rgb(image.pixel(x, kHeight - 1)), Rgb(white)) << x;
}

TEST_F(ProgressCtrlTest, OtherBarColoursFillWithThatColour) {
  // COLORREF 0x0000FF is red, 0x00FF00 green: the colours of "Fail" and "Success".
  for (const auto& [colour, rgb] : {std::pair{ColorRef{0x0000FF}, qRgb(255, 0, 0)},
                                    std::pair{ColorRef{0x00FF00}, qRgb(0, 255, 0)}}) {
    const QImage image = Draw({.caption = "", .position = 999, .barColour = colour});
    for (int x = 1; x < kWidth - 1; x += 7) {
      EXPECT_EQ(Rgb(image.pixel(x, kHeight / 2)), Rgb(rgb)) << "column " << x;
    }
  }
}

// The caption lies across the boundary at column 200: its ink is white over the filled part
// and black over the empty part, and never the other way round.
TEST_F(ProgressCtrlTest, CaptionTakesTheTextColourOfThePartItLiesOver) {
  const QImage image = Draw({.caption = "HHHHHHHHHHHHHH",
                             .position = 500,
                             .filledTextColour = 0xFFFFFF,
                             .emptyTextColour = 0x000000});
  int whiteLeft = 0, whiteRight = 0, blackLeft = 0, blackRight = 0;
  for (int y = 1; y < kHeight - 1; ++y) {
    for (int x = 1; x < kWidth - 1; ++x) {
      const QRgb pixel = image.pixel(x, y);
      const bool left = x < 200;
      if (pixel == qRgb(255, 255, 255)) ++(left ? whiteLeft : whiteRight);
      if (pixel == qRgb(0, 0, 0)) ++(left ? blackLeft : blackRight);
    }
  }
  EXPECT_GT(whiteLeft, 20);
  EXPECT_GT(blackRight, 20);
  EXPECT_EQ(whiteRight, 0);
  EXPECT_EQ(blackLeft, 0);
}

TEST_F(ProgressCtrlTest, LeftClickIsPassedOnOnlyWhileEnabled) {
  QSignalSpy clicks(&bar, &CqelProgressCtrl::clicked);
  QTest::mouseClick(&bar, Qt::LeftButton);
  QTest::mouseClick(&bar, Qt::RightButton);
  EXPECT_EQ(clicks.count(), 1);
  bar.setEnabled(false);
  QTest::mouseClick(&bar, Qt::LeftButton);
  EXPECT_EQ(clicks.count(), 1);
}

TEST_F(ProgressCtrlTest, StateWrittenByAWorkerIsDrawn) {
  bar.show();
  std::thread worker([this] {
    for (int position = 0; position <= 999; ++position) {
      bar.SetState({.caption = "Programming", .position = position, .barColour = 0x00FF00});
    }
  });
  for (int i = 0; i < 20; ++i) bar.grab();  // paint while the worker writes
  worker.join();
  QApplication::processEvents();
  EXPECT_EQ(bar.State().position, 999);
  EXPECT_EQ(bar.State().caption, "Programming");
  const QImage image = bar.grab().toImage();
  EXPECT_EQ(Rgb(image.pixel(kWidth - 2, 1)), Rgb(qRgb(0, 255, 0)));
}

}  // namespace
}  // namespace velmora
