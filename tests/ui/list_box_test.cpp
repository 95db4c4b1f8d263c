#include <gtest/gtest.h>

#include <QScrollBar>
#include <thread>

#include "ui/controls/cqel_list_box.h"
#include "widget_test_support.h"

namespace velmora {
namespace {

using testing::WaitFor;

class ListBoxTest : public ::testing::Test {
 protected:
  ListBoxTest() {
    list.resize(400, 200);
    list.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&list));
  }

  QStringList Lines() const {
    QStringList lines;
    for (int row = 0; row < list.Count(); ++row) lines << list.Line(row);
    return lines;
  }

  bool LastLineVisible() const {
    const QRect last = list.visualRect(list.model()->index(list.Count() - 1, 0));
    return list.viewport()->rect().contains(last);
  }

  CqelListBox list;
};

TEST_F(ListBoxTest, TakesAHundredThousandLinesFromAWorkerAndShowsTheLast) {
  constexpr int kLines = 100'000;
  std::thread worker([this] {
    for (int i = 0; i < kLines; ++i) list.AddLine(QStringLiteral("12:00:00:00   line %1").arg(i));
  });
  const bool arrived = WaitFor([&] { return list.Count() == kLines; }, 30000);
  worker.join();
  ASSERT_TRUE(arrived) << list.Count();
  EXPECT_EQ(list.Line(0), "12:00:00:00   line 0");
  EXPECT_EQ(list.Line(54321), "12:00:00:00   line 54321");
  EXPECT_EQ(list.Line(kLines - 1), "12:00:00:00   line 99999");
  EXPECT_TRUE(WaitFor([&] { return LastLineVisible(); }));
  EXPECT_EQ(list.verticalScrollBar()->value(), list.verticalScrollBar()->maximum());
}

TEST_F(ListBoxTest, WorkerChangesArriveInOrder) {
  std::thread worker([this] {
    list.AddLine("Verifying Flash memory...");
    list.AddLine("progress");
    list.RemoveLastLine();
    list.RemoveLastLine();  // a progress line turned into its result line
    list.AddLine("Flash memory OK.");
  });
  worker.join();
  list.AddLine("on the GUI thread");  // made at once, after what the worker queued
  EXPECT_EQ(Lines(), QStringList({"Flash memory OK.", "on the GUI thread"}));
  QApplication::processEvents();
  EXPECT_EQ(list.Count(), 2);
}

TEST_F(ListBoxTest, RefillReplacesTheLinesAndDropsWhatWasQueuedBeforeIt) {
  list.AddLine("old");
  std::thread worker([this] { list.AddLine("already in the document's lines"); });
  worker.join();
  list.SetLines({"first", "already in the document's lines"});
  QApplication::processEvents();
  EXPECT_EQ(Lines(), QStringList({"first", "already in the document's lines"}));

  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ListBoxTest, RefillWithManyLinesScrollsToTheLast) {
  QStringList lines;
  for (int i = 0; i < 500; ++i) lines << QStringLiteral("line %1").arg(i);
  list.SetLines(lines);
  EXPECT_TRUE(WaitFor([&] { return LastLineVisible(); }));
}

// Leftmost column with dark ink in the given row of a grabbed list.
int FirstInkColumn(const QImage& image, const QRect& row) {
  for (int x = row.left(); x <= row.right(); ++x) {
    for (int y = row.top(); y <= row.bottom(); ++y) {
      if (qGray(image.pixel(x, y)) < 100) return x;
    }
  }
  return -1;
}

TEST_F(ListBoxTest, TabsStopAtTheLogTabStops) {
  ASSERT_EQ(list.TabStopPixels().size(), 32);
  list.SetLines({"X", "\tX", "\t\tX"});
  QApplication::processEvents();
  const QImage image = list.viewport()->grab().toImage();
  auto rowRect = [&](int row) { return list.visualRect(list.model()->index(row, 0)); };
  const int start = FirstInkColumn(image, rowRect(0));
  ASSERT_GE(start, 0);
  // Each stop is within a pixel of its place; the second stop (59 dialog units) is far from
  // where a default tab (80 pixels each) would put it.
  EXPECT_NEAR(FirstInkColumn(image, rowRect(1)) - start, list.TabStopPixels()[0], 1.5);
  EXPECT_NEAR(FirstInkColumn(image, rowRect(2)) - start, list.TabStopPixels()[1], 1.5);
  EXPECT_LT(list.TabStopPixels()[1], 140);
  EXPECT_GT(list.TabStopPixels()[1], list.TabStopPixels()[0]);
}

// The first column of ink after a blank run of at least `gap` columns that follows ink: where
// the text after a time stamp's three spaces starts.
int FirstInkAfterGap(const QImage& image, const QRect& row, int gap) {
  bool inked = false;
  int blank = 0;
  for (int x = row.left(); x <= row.right(); ++x) {
    bool ink = false;
    for (int y = row.top(); y <= row.bottom() && !ink; ++y) ink = qGray(image.pixel(x, y)) < 100;
    if (ink && inked && blank >= gap) return x;
    inked = inked || ink;
    blank = ink ? 0 : blank + 1;
  }
  return -1;
}

TEST_F(ListBoxTest, TextsOfTimeStampedLinesLineUp) {
  list.SetLines({"00:00:00:00   Log", "11:11:11:11   Log", "23:59:58:47   Log",
                 "20:17:14:31   \tLog", "000:\t4C"});
  QApplication::processEvents();
  const QImage image = list.viewport()->grab().toImage();
  auto rowRect = [&](int row) { return list.visualRect(list.model()->index(row, 0)); };
  const int gap = 2 * list.fontMetrics().horizontalAdvance(QLatin1Char(' '));
  const int text = FirstInkAfterGap(image, rowRect(0), gap);
  ASSERT_GT(text, 0);
  EXPECT_EQ(FirstInkAfterGap(image, rowRect(1), gap), text);
  EXPECT_EQ(FirstInkAfterGap(image, rowRect(2), gap), text);
  // The text starts after the widest stamp the font can draw, and a tab in it keeps the stops.
  const int start = FirstInkColumn(image, rowRect(4));
  EXPECT_GE(text - start, list.fontMetrics().horizontalAdvance(QStringLiteral("88:88:88:88")));
  const int nextStop = *std::find_if(list.TabStopPixels().begin(), list.TabStopPixels().end(),
                                     [&](qreal stop) { return start + stop > text; });
  EXPECT_NEAR(FirstInkAfterGap(image, rowRect(3), gap) - start, nextStop, 1.5);
}

}  // namespace
}  // namespace velmora
