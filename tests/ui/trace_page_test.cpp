// The trace group of the pages: switching tracing on and off, suppression, and the trace
// definition file read again by the page timer, against the simulated programmer.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine/cqel_doc.h"
#include "gui_test_support.h"
#include "link/pic_vortang.h"
#include "sim/client/sim_client.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

class TracePageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start()));
    // The same simulator the document's link bound, now with the target's trace output.
    ASSERT_TRUE(sim_.Loaded());
    ASSERT_EQ(sim_.Configure(R"({"device": "PIC18F4550", "trace": [
        {"at": 0, "record": "10 20 34 12"},
        {"at": 10, "record": "05 06", "repeat": 1000000000, "every": 10}]})"),
              0)
        << sim_.LastError();
    sim_.SetHostClock(&env_.clock);
  }
  void TearDown() override {
    Doc().StopTracing();
    sim_.SetHostClock(nullptr);
  }

  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  CqelDoc& Doc() { return app_.Document(); }
  int Count(const QString& text) {
    int n = 0;
    for (const QString& line : LogLines(Doc())) n += line.endsWith(text) ? 1 : 0;
    return n;
  }
  // Lets the reader's lines reach the page; the limit only keeps a broken build from hanging.
  bool WaitForLines(const QString& text, int count) {
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Count(text) < count && std::chrono::steady_clock::now() < limit) {
      QApplication::processEvents();
      std::this_thread::yield();
    }
    return Count(text) >= count;
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  sim::SimClient sim_{VELMORA_BINARY_DIR "/bin/libvelmora-sim.so"};
};

TEST_F(TracePageTest, ThePagesCarryTheTraceControls) {
  // The whole group on the start page and the basic test page, the two boxes on the family page.
  const std::vector<int> group = {ctl::kTrace, ctl::kSuppressTrace, ctl::kEnablePullups,
                                  ctl::kTraceFileEdit, ctl::kTraceFileBrowse};
  const std::pair<int, std::vector<int>> pages[] = {
      {kStartPage, group},
      {kPic18BasicTestPage, group},
      {kPic18Page, {ctl::kTrace, ctl::kSuppressTrace}},
  };
  for (const auto& [view, ids] : pages) {
    app_.MainFrame().SwitchView(view);
    for (int id : ids) EXPECT_NE(Page().Control(id), nullptr) << view << " " << id;
  }
}

TEST_F(TracePageTest, TheTraceBoxStartsAndStopsTracingAndTheLinesReachTheLog) {
  app_.MainFrame().SwitchView(kPic18Page);
  Page().Button(ctl::kTrace)->click();
  EXPECT_EQ(Doc().trace, 1);
  ASSERT_TRUE(WaitForLines(QStringLiteral("   Trace 05 - 06\t\t\t\t(2)"), 3));
  EXPECT_EQ(Count(QStringLiteral("   Tracing activated")), 1);
  EXPECT_EQ(Count(QStringLiteral("   Trace 10 - 20,34,12\t\t\t\t(4)")), 1);

  Page().Button(ctl::kSuppressTrace)->click();
  EXPECT_EQ(Doc().suppressTrace, 1);
  ASSERT_TRUE(WaitForLines(QStringLiteral("   Tracing suppressed"), 1));

  Page().Button(ctl::kTrace)->click();
  EXPECT_EQ(Doc().trace, 0);
  EXPECT_EQ(Doc().traceState, trace_state::kIdle);
  EXPECT_EQ(Doc().programmer->ftHandle.load(), nullptr);
  EXPECT_EQ(Count(QStringLiteral("   Tracing deactivated")), 1);
}

TEST_F(TracePageTest, ThePageTimerReadsAChangedDefinitionFileAgain) {
  app_.MainFrame().SwitchView(kStartPage);
  const std::string tdf = env_.directory.filePath(QStringLiteral("target.tdf")).toStdString();
  std::ofstream(tdf) << "L=02:C=10:S=20:M=Temp \\2\\d\n";
  Page().Edit(ctl::kTraceFileEdit)->setText(QString::fromStdString(tdf));
  Page().OnPageTimer();
  EXPECT_EQ(Doc().traceDefinitionCount, 1);

  std::ofstream(tdf, std::ios::app) << "L=01:C=05:S=xx:M=Tick \\x\n";
  std::filesystem::last_write_time(tdf,
                                   std::filesystem::last_write_time(tdf) + std::chrono::seconds(2));
  Page().OnPageTimer();
  EXPECT_EQ(Doc().traceDefinitionCount, 2);

  Page().Button(ctl::kTrace)->click();
  ASSERT_TRUE(WaitForLines(QStringLiteral("   Tick 06"), 2));
  EXPECT_EQ(Count(QStringLiteral("   Temp 4660")), 1);
}

TEST_F(TracePageTest, WhileTracingAChangedHexFileIsStillAnnounced) {
  app_.MainFrame().SwitchView(kPic18Page);
  Page().Button(ctl::kTrace)->click();
  ASSERT_EQ(Doc().traceState, trace_state::kActive);
  const std::string hex = env_.directory.filePath(QStringLiteral("new.hex")).toStdString();
  std::ofstream(hex) << ":00000001FF\n";
  Page().Edit(ctl::kHexFileEdit)->setText(QString::fromStdString(hex));
  Page().OnPageTimer();
  EXPECT_EQ(Doc().progressBar.State().caption, "New Software");
}

// "Aktivate Monitor" on the basic test page: a tick runs the monitor once on the worker (the RAM
// of the identified device read with the target held), taking the tick away lets it run again.
TEST_F(TracePageTest, TheMonitorBoxRunsTheDataMonitorOncePerTick) {
  app_.MainFrame().SwitchView(kPic18BasicTestPage);
  Page().Button(ctl::kIdentify)->click();
  ASSERT_EQ(Doc().programmer->fileImage.deviceName, "PIC18F4550");
  QAbstractButton* box = Page().Button(ctl::kDataMonitor);
  ASSERT_NE(box, nullptr);
  const auto tick = [&] {
    box->click();
    Doc().WaitForOperation();
    QApplication::processEvents();
  };
  tick();
  EXPECT_TRUE(box->isChecked());
  EXPECT_EQ(Count(QStringLiteral("   Data Monitor activated...")), 1);
  EXPECT_EQ(Count(QStringLiteral("   Data Monitor stop!")), 1);
  EXPECT_EQ(Doc().dataMonitorRunning, 1);

  tick();  // the tick taken away
  EXPECT_FALSE(box->isChecked());
  EXPECT_EQ(Doc().dataMonitorRunning, 0);
  tick();
  EXPECT_EQ(Count(QStringLiteral("   Data Monitor stop!")), 2);
  EXPECT_EQ(Doc().programmer->ftHandle.load(), nullptr);
}

}  // namespace
}  // namespace velmora
