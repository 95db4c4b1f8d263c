// Tracing end to end on the simulated programmer: the firmware forwards the target's trace
// output as the host's (virtual) time passes, the reader polls it and logs each record, and
// every operation suspends it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <thread>

#include "engine/cqel_doc.h"
#include "engine/trace_stream.h"
#include "families/family_registry.h"
#include "support/document_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

// Waits for a log line; the limit only keeps a broken build from hanging, it asserts no speed.
class LogWatch {
 public:
  explicit LogWatch(CqelLog& log) : log_(log) {
    id_ = log_.AddObserver([this](const LogEvent& event) {
      if (event.kind != LogEvent::Kind::kAppended) return;
      std::lock_guard lock(mutex_);
      lines_.push_back(WithoutStamp(event.line));
      changed_.notify_all();
    });
  }
  ~LogWatch() { log_.RemoveObserver(id_); }

  bool WaitFor(const std::string& line) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [&] {
      return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    });
  }
  std::vector<std::string> Lines() {
    std::lock_guard lock(mutex_);
    return lines_;
  }

 private:
  CqelLog& log_;
  int id_ = 0;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> lines_;
};

std::string RecordLine(const std::vector<uint8_t>& record) {
  return FormatTraceRecord(record, {});
}

class TracingTest : public DocumentSimTest {
 protected:
  void SetUp() override {
    DocumentSimTest::SetUp();
    sim.SetHostClock(&clock_);
  }
  void TearDown() override {
    watch_.reset();  // before the document and its log go
    DocumentSimTest::TearDown();
    sim.SetHostClock(nullptr);
  }

  void StartWithTrace(const nlohmann::json& trace) {
    Start("PIC18F4550", false, {{"trace", trace}});
    watch_ = std::make_unique<LogWatch>(doc_->operationLog);
  }

  // The trace lines logged, without the tracing notices.
  std::vector<std::string> TraceLines() {
    std::vector<std::string> lines;
    for (const std::string& line : watch_->Lines()) {
      if (!line.starts_with("Tracing ")) lines.push_back(line);
    }
    return lines;
  }

  // What the firmware sent while it reported, as the reader should show it.
  std::vector<std::string> ForwardedRecordLines() {
    std::vector<uint8_t> stream;
    for (const std::string& chunk : Bytes("trace")) {
      for (size_t i = 0; i + 1 < chunk.size(); i += 3) {
        stream.push_back(static_cast<uint8_t>(std::stoul(chunk.substr(i, 2), nullptr, 16)));
      }
    }
    std::vector<std::string> lines;
    ParseTraceBytes(stream, [&](const TraceItem& item) {
      lines.push_back(item.kind == TraceItem::Kind::kNull ? "NULL"
                      : item.kind == TraceItem::Kind::kOverflow
                          ? "Trace Overflow..."
                          : RecordLine({item.record.begin(), item.record.end()}));
    });
    return lines;
  }

  std::unique_ptr<LogWatch> watch_;
};

TEST_F(TracingTest, RecordsSplitRecordsNullsAndOverflowsBecomeLogLines) {
  StartWithTrace(nlohmann::json::array({
      {{"at", 0}, {"record", "10 20 30"}},
      {{"at", 20}, {"record", "10 20 30"}, {"split", 15}},  // one byte per 15 ms: several reads
      {{"at", 100}, {"value", 5}},
      {{"at", 110}, {"null", true}},
      {{"at", 120}, {"overflow", true}},
      {{"at", 130}, {"record", "AA"}},
  }));
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor("Trace AA"));
  doc_->StopTracing();

  EXPECT_THAT(watch_->Lines(), ElementsAre("Tracing activated", "Trace 10 - 20,30\t\t\t\t(3)",
                                           "Trace 10 - 20,30\t\t\t\t(3)", "Trace 05", "NULL",
                                           "Trace Overflow...", "Trace AA", "Tracing deactivated"));
  // The split record came in pieces, each read on its own.
  EXPECT_THAT(Bytes("trace"),
              ElementsAre("03 10 20 30", "03", "10", "20", "30", "85", "00", "FF", "01 AA"));
  // The firmware commands of a trace session, in order.
  std::vector<std::string> names;
  for (const auto& event : Events("command")) {
    const std::string name = event["name"];
    if (name.find("trace") != std::string::npos || name == "version text" ||
        event["bytes"] == "06" || event["bytes"] == "07") {
      names.push_back(event["bytes"].get<std::string>() + " " + name);
    }
  }
  EXPECT_THAT(
      std::vector<std::string>(names.end() - 6, names.end()),
      ElementsAre("59 01 trace pull-ups on", "06 line 0x06", "56 start trace reporting",
                  "57 version text", "07 line 0x07", "59 00 trace pull-ups off, reporting ends"));
  EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
  EXPECT_EQ(doc_->traceState, trace_state::kIdle);
}

TEST_F(TracingTest, TheReaderAsksTheDriverHowManyBytesAreQueuedAndReadsJustThose) {
  StartWithTrace(nlohmann::json::array(
      {{{"at", 0}, {"record", "01 02"}}, {{"at", 50}, {"record", "03 04 05"}}}));
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor(RecordLine({3, 4, 5})));
  doc_->StopTracing();
  // Every read of the session follows an FT_GetStatus that said how much was queued; no read
  // asks for more (a read for more would wait for bytes that may never come).
  const nlohmann::json events = Transcript()["events"];
  uint32_t queued = 0;
  size_t polls = 0;
  size_t reads = 0;
  bool reading = false;
  for (const auto& event : events) {
    if (event["op"] == "command" && event["bytes"] == "56") reading = true;
    if (!reading) continue;
    if (event["op"] == "call" && event["call"] == "FT_GetStatus") {
      queued = event["rxBytes"];
      polls += event["polls"].get<size_t>();
    } else if (event["op"] == "read") {
      EXPECT_GT(event["requested"].get<uint32_t>(), 0u);
      EXPECT_LE(event["requested"].get<uint32_t>(), queued);
      ++reads;
      queued = 0;
    }
  }
  EXPECT_GE(polls, 5u);  // 50 ms of polling every 10 ms
  EXPECT_GE(reads, 2u);
}

TEST_F(TracingTest, ATargetResetMidRecordGarblesOnlyWhatTheBytesSay) {
  // The target resets after two of four bytes; the programmer forwards bytes as they come, so
  // the next record's bytes complete the cut one. Nothing waits for bytes that never come.
  StartWithTrace(nlohmann::json::array({
      {{"at", 0}, {"record", "10 20 30 40"}, {"resetAfter", 2}},
      {{"at", 30}, {"record", "AA BB CC"}},
      {{"at", 60}, {"record", "01 02"}},
  }));
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor(RecordLine({1, 2})));
  doc_->StopTracing();
  EXPECT_THAT(TraceLines(), ElementsAre(RecordLine({0x10, 0x20, 0x03, 0xAA}), "Trace 3B",
                                        "Trace 4C", RecordLine({1, 2})));
  EXPECT_EQ(doc_->pendingTraceBytes, 0);
}

TEST_F(TracingTest, ALongTraceIsReadInPiecesAndShownWhole) {
  // A record of 127 bytes, one byte every 3 ms: about 40 polls see part of it.
  std::vector<uint8_t> record(127);
  for (size_t i = 0; i < record.size(); ++i) record[i] = static_cast<uint8_t>(i + 1);
  StartWithTrace(nlohmann::json::array(
      {{{"at", 0}, {"record", HexText(record)}, {"split", 3}}, {{"at", 500}, {"value", 1}}}));
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor("Trace 01"));
  doc_->StopTracing();
  EXPECT_THAT(TraceLines(), ElementsAre(RecordLine(record), "Trace 01"));
  EXPECT_GT(Events("read").size(), 30u);
}

TEST_F(TracingTest, AReadIsBoundedByTheRoomLeftInTheReceiveBuffer) {
  // 100 records of 4 bytes arrive at once; the receive buffer holds 200 bytes.
  StartWithTrace(nlohmann::json::array(
      {{{"at", 0}, {"record", "11 22 33"}, {"repeat", 99}}, {{"at", 0}, {"record", "44 55 66"}}}));
  doc_->traceReceiveBytes = 200;
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor(RecordLine({0x44, 0x55, 0x66})));
  doc_->StopTracing();
  std::vector<std::string> expected(99, RecordLine({0x11, 0x22, 0x33}));
  expected.push_back(RecordLine({0x44, 0x55, 0x66}));
  EXPECT_EQ(TraceLines(), expected);
  size_t reads = 0;
  for (const auto& event : Events("read")) {
    EXPECT_LE(event["requested"].get<uint32_t>(), 200u);
    ++reads;
  }
  EXPECT_GE(reads, 2u);
}

TEST_F(TracingTest, DefinitionsFromTheFileFormatTheRecords) {
  const std::string tdf = (dir_ / "target.tdf").string();
  std::ofstream(tdf) << "L=02:C=10:S=20:M=Temp \\2\\d\r\nL=01:C=05:S=xx:M=Tick\n";
  StartWithTrace(
      nlohmann::json::array({{{"at", 0}, {"record", "10 20 34 12"}}, {{"at", 10}, {"value", 5}}}));
  doc_->traceDefinitionFile = tdf;
  doc_->LoadTraceDefinitions();
  EXPECT_EQ(doc_->traceDefinitionCount, 2);
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor("Tick"));
  doc_->StopTracing();
  EXPECT_THAT(TraceLines(), ElementsAre("Temp 4660", "Tick"));
}

TEST_F(TracingTest, SuppressedOutputIsReadAndDiscarded) {
  StartWithTrace(nlohmann::json::array({
      {{"at", 0}, {"record", "01"}},
      {{"at", 1000}, {"record", "03"}, {"repeat", 1000000000}, {"every", 10}},
  }));
  doc_->suppressTrace = 1;
  doc_->StartTracing();
  // The first record was on its way before the firmware took the suppression; the reader reads
  // it and shows nothing.
  const auto readFirstRecord = [&] {
    const std::vector<std::string> reads = Bytes("read");
    return std::ranges::find(reads, "01 01") != reads.end();
  };
  while (!readFirstRecord()) std::this_thread::yield();
  doc_->suppressTrace = 0;
  doc_->ToggleTraceSuppression();
  ASSERT_TRUE(watch_->WaitFor(RecordLine({3})));
  doc_->StopTracing();
  const std::vector<std::string> lines = watch_->Lines();
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "Tracing activated (suppressed)");
  EXPECT_EQ(lines[1], "Tracing reactivated");
  EXPECT_EQ(lines.back(), "Tracing deactivated");
  for (size_t i = 2; i + 1 < lines.size(); ++i) EXPECT_EQ(lines[i], "Trace 03") << i;
  EXPECT_EQ(Bytes("trace").front(), "01 01");
  EXPECT_THAT(Bytes("command"), ::testing::Contains("58"));
}

TEST_F(TracingTest, AProgramSuspendsTracingAndNothingIsLostOrShownTwice) {
  // The target numbers its records, one every 10 ms, for as long as the test runs.
  StartWithTrace(nlohmann::json::array({{{"at", 0},
                                         {"record", "42 00 00 00 00"},
                                         {"repeat", 1000000000},
                                         {"every", 10},
                                         {"sequence", true}}}));
  const FamilyRow* family = FindFamily("pic18");
  ASSERT_NE(family, nullptr);
  const auto program = std::ranges::find_if(
      family->commands, [](const FamilyCommand& c) { return std::string(c.name) == "program"; });
  ASSERT_NE(program, family->commands.end());
  doc_->hexFileName = HexFile("pic18f4550_blink");
  doc_->trace = 1;

  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor(RecordLine({0x42, 0, 0, 0, 20})));
  ASSERT_EQ(Run(*family, program->id), OperationOutcome::kSuccess);
  EXPECT_EQ(doc_->traceState, trace_state::kActive);  // resumed after the operation
  const size_t before = TraceLines().size();
  while (TraceLines().size() < before + 20) std::this_thread::yield();
  doc_->trace = 0;
  doc_->StopTracing();

  const std::vector<std::string> lines = watch_->Lines();
  const auto first = [&](const std::string& prefix) {
    return std::ranges::find_if(lines,
                                [&](const std::string& l) { return l.starts_with(prefix); }) -
           lines.begin();
  };
  const auto last = [&](const std::string& prefix) {
    const auto it = std::ranges::find_if(
        lines.rbegin(), lines.rend(), [&](const std::string& l) { return l.starts_with(prefix); });
    return lines.rend() - it - 1;
  };
  // Suspended before the operation's first line, resumed after its last.
  EXPECT_LT(first("Tracing deactivated"), first("*** Programming PIC18F4550 ***"));
  EXPECT_GT(last("Tracing activated"), first("*** Finished Successfully ***"));
  std::vector<std::string> shown;
  for (const std::string& line : lines) {
    if (line.starts_with("Trace 42")) shown.push_back(line);
  }
  // Exactly what the firmware forwarded, once each and in order; what the target sent while
  // the programmer was busy programming never reached the PC.
  EXPECT_EQ(shown, ForwardedRecordLines());
  ASSERT_GT(shown.size(), 40u);
  const std::string lastShown = shown.back();
  const uint32_t lastNumber = static_cast<uint32_t>(std::stoul(
      lastShown.substr(lastShown.find(" - ") + 3, 11).erase(2, 1).erase(4, 1).erase(6, 1), nullptr,
      16));
  EXPECT_GT(lastNumber + 1, shown.size());  // some were sent while programming
}

TEST_F(TracingTest, TheDataMonitorRunsOnceUntilItsFlagIsCleared) {
  StartWithTrace(nlohmann::json::array({{{"at", 0}, {"record", "01"}}}));
  doc_->trace = 1;
  doc_->StartTracing();
  ASSERT_TRUE(watch_->WaitFor(RecordLine({1})));
  int steps = 0;
  const auto monitor = [&] {
    doc_->StartOperation([&] {
      doc_->RunDataMonitor([&] {
        ++steps;
        EXPECT_NE(doc_->programmer->ftHandle.load(), nullptr);  // in a cycle of its own
        EXPECT_EQ(doc_->traceState, trace_state::kIdle);        // with tracing suspended
      });
    });
    doc_->WaitForOperation();
  };
  monitor();
  monitor();  // the flag is still set: nothing runs
  EXPECT_EQ(steps, 1);
  doc_->dataMonitorRunning = 0;  // the view's box was unchecked
  monitor();
  EXPECT_EQ(steps, 2);
  EXPECT_EQ(doc_->traceState, trace_state::kActive);
  doc_->trace = 0;
  doc_->StopTracing();
  std::vector<std::string> monitorLines;
  for (const std::string& line : watch_->Lines()) {
    if (line.starts_with("Data Monitor") || line.starts_with("Tracing ")) {
      monitorLines.push_back(line);
    }
  }
  EXPECT_THAT(monitorLines,
              ElementsAre("Tracing activated", "Tracing deactivated", "Data Monitor activated...",
                          "Data Monitor stop!", "Tracing activated", "Tracing deactivated",
                          "Tracing activated", "Tracing deactivated", "Data Monitor activated...",
                          "Data Monitor stop!", "Tracing activated", "Tracing deactivated"));
}

// ---- A stop in progress ------------------------------------------------------------------------

// A virtual clock whose long sleeps can be held, to look at the document while the trace
// reader is in its final wait.
class HeldClock final : public IClock {
 public:
  uint32_t TickCount() override { return inner_.TickCount(); }
  LocalTime Now() override { return inner_.Now(); }
  void Sleep(uint32_t milliseconds) override {
    inner_.Sleep(milliseconds);
    if (milliseconds < 100) return;
    std::unique_lock lock(mutex_);
    if (!holding_) return;
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return !holding_; });
  }
  void Hold() {
    std::lock_guard lock(mutex_);
    holding_ = true;
  }
  bool WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return held_; });
  }
  void Release() {
    std::lock_guard lock(mutex_);
    holding_ = false;
    changed_.notify_all();
  }

 private:
  VirtualClock inner_;
  std::mutex mutex_;
  std::condition_variable changed_;
  bool holding_ = false;
  bool held_ = false;
};

class TraceStopTest : public SimFixture {};

TEST_F(TraceStopTest, ASecondCommandDuringAStopIsRefusedAsBusy) {
  ConfigureSimulator({{"device", "PIC18F4550"}});
  HeldClock clock;
  sim.SetHostClock(&clock);
  ScriptedPrompt prompt;
  {
    CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = kSimulatorPath});
    doc.StartTracing();
    ASSERT_EQ(doc.traceState, trace_state::kActive);
    clock.Hold();
    std::thread stopper([&] { doc.StopTracing(); });
    struct Finish {
      HeldClock& clock;
      std::thread& stopper;
      ~Finish() {
        clock.Release();
        stopper.join();
      }
    } finish{clock, stopper};
    ASSERT_TRUE(clock.WaitUntilHeld());
    EXPECT_EQ(doc.traceState, trace_state::kStopRequested);

    // The stop still owns the link: a command now is refused, with the busy message.
    ASSERT_TRUE(doc.IsBusy());
    const FamilyRow* family = FindFamily("pic18");
    ASSERT_NE(family, nullptr);
    EXPECT_FALSE(StartFamilyCommand(doc, *family, family->commands.front().id));
    ASSERT_EQ(prompt.Records().size(), 2u);
    EXPECT_EQ(prompt.Records().back().text, "Programmer is busy...\nCannot continue!");
  }
  sim.SetHostClock(nullptr);
  // One open for tracing, none for the refused command; the stop closed the link.
  EXPECT_EQ(Events("open").size(), 1u);
  EXPECT_EQ(Events("close").size(), 1u);
}

}  // namespace
}  // namespace velmora::testing
