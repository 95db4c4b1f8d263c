#pragma once
// CZEQLExecutor: runs the host subs of a script ('#' subs) on the PC. It interprets their lines
// one by one: hex files in and out of the three buffers, the byte exchange with the compiled
// register and pin subs over the script link, checks and checksums of memory ranges, status
// records for the progress display and lines for the log.
//
// Sources: executor.cpp (RunSub, the line loop, flow statements), executor_buffers.cpp (buffer
// statements), executor_link.cpp (calls, send and get, status records).
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/log_sink.h"
#include "platform/user_prompt.h"
#include "script/zeql_engine.h"

namespace velmora {

// A status record as host subs hand it to the progress display (`status text, x, y, z, w`).
struct ScriptStatus {
  static constexpr int kProgressKind = 0x36;
  int kind = kProgressKind;
  std::string text;
  int64_t barColour = 0;                // y
  int64_t filledTextColour = 0xFFFFFF;  // z
  int64_t emptyTextColour = 0;          // w
  int64_t position = 0;                 // x, at most 1000; negative: the bar's maximum
};
using ScriptStatusReceiver = std::function<void(const ScriptStatus&)>;

// What a host sub's run ended with.
namespace sub_result {
constexpr int kEnded = 0;
constexpr int kAborted = 1;
constexpr int kExited = 2;
}  // namespace sub_result

// Engine status codes while host subs run.
namespace script_status {
constexpr int kRunning = 6;
constexpr int kBroken = 7;  // a constant was written, or a loop or if has no end
}  // namespace script_status

class CZEQLExecutor {
 public:
  CZEQLExecutor(CZEQLEngine& engine, ILogSink& log, IUserPrompt& prompt, IClock& clock);
  CZEQLExecutor(const CZEQLExecutor&) = delete;
  CZEQLExecutor& operator=(const CZEQLExecutor&) = delete;

  // Runs "#Init", the named host sub when "#Init" went well, and "#CleanUp"; logs the
  // execution time. 0, 1 (aborted, or no such sub) or 2 (ended by `exit`).
  int RunSub(const std::string& name);
  // Runs the lines of one host sub: 0, 1 (aborted) or 2 (`exit`).
  int ExecuteSub(CZEQLSub& sub);

  // Where status records go; without a receiver they are dropped.
  void SetStatusReceiver(ScriptStatusReceiver receiver) { statusReceiver_ = std::move(receiver); }

  // Ends the running sub at its next line (and every later run ends the same way): the
  // document or the program is closing, or the user stopped the programmer. Only stores an
  // atomic flag, so a signal handler may call it.
  void RequestAbort() { abortRequested_.store(true); }
  bool AbortRequested() const { return abortRequested_.load(); }

  // Largest count of cells or bytes one statement works on: every cell the buffers hold.
  static constexpr int64_t kMaxCount = CMCUMemoryArchitecture::TotalCells();

 private:
  // One run of a sub: its lines, where it stands, and the links found while it runs.
  struct Frame {
    CZEQLSub& sub;
    std::vector<ZEQLLine>& lines;
    size_t next = 0;                         // the line to run next
    std::map<size_t, int64_t> loopCounters;  // by the line of the `lend`
  };

  // ---- Lines and flow (executor.cpp) -----------------------------------------------------------
  bool ExecuteLine(Frame& frame, size_t index, const std::vector<std::string>& tokens);
  bool Stopped();
  // Error location lines, then `message`; the sub ends with result 1.
  bool Fail(std::string_view message);
  bool Assign(const std::string& name, const std::string& right);
  bool Message(const std::vector<std::string>& tokens);
  bool GotoLabel(Frame& frame, const std::string& label);
  bool BlockIf(Frame& frame, size_t index, const std::string& condition);
  bool Else(Frame& frame, size_t index);
  bool Loop(Frame& frame, size_t index, const std::string& count);
  bool LoopEnd(Frame& frame, size_t index);
  bool CallSub(const std::string& name);

  // ---- Buffer statements (executor_buffers.cpp) ----------------------------------------------
  bool Load(const std::vector<std::string>& tokens);
  bool Save(const std::vector<std::string>& tokens);
  bool Mask(const std::vector<std::string>& tokens);
  bool ClearBuffer(const std::vector<std::string>& tokens);
  bool Dump(const std::vector<std::string>& tokens);
  bool Copy(const std::vector<std::string>& tokens);
  bool Compare(const std::vector<std::string>& tokens);
  bool CheckRange(const std::vector<std::string>& tokens, bool erasedMeansMask);
  bool Checksum(const std::vector<std::string>& tokens);
  bool MoveAddress(const std::vector<std::string>& tokens, bool down);
  bool WriteCellAtAddress(ScriptBuffer buffer, int64_t value);
  // The count of a statement: refused when negative or above kMaxCount.
  bool CheckCount(int64_t count, const char* negativeMessage);
  // The cell address `offset` cells after `base`, when it lies in the 32-bit address space.
  static std::optional<uint32_t> CellAddress(int64_t base, int64_t offset);
  // Cell value (0..255, -1 blank) of the buffer, or kNoCell when no window holds the address.
  int32_t ReadCell(ScriptBuffer buffer, int64_t base, int64_t offset);
  // True when every cell of the range lies in a window of the buffer's map.
  bool RangeMapped(ScriptBuffer buffer, int64_t base, int64_t count);
  // The byte a checksum reads: blank as the lane mask, unmapped as 0.
  int32_t ChecksumByte(ScriptBuffer buffer, int64_t base, int64_t offset);
  int SlotNumber(const std::string& token);

  // ---- Link statements (executor_link.cpp) ----------------------------------------------------
  bool StartCompiledSub(const CZEQLSub& sub);
  bool Send(const std::vector<std::string>& tokens);
  bool Get(const std::vector<std::string>& tokens);
  bool Status(const std::vector<std::string>& tokens);
  // One byte to the programmer's send buffer; false (the sub ends) when the link is gone.
  bool SendByte(int value);
  // One byte from the compiled code; false (the sub ends) when the link is gone.
  bool ReceiveByte(uint8_t& value);
  bool LinkReady();
  bool LinkLost() const;
  void FlushSendBuffer();

  CZEQLEngine& engine_;
  ILogSink& log_;
  IUserPrompt& prompt_;
  IClock& clock_;
  ScriptStatusReceiver statusReceiver_;
  std::atomic<bool> abortRequested_{false};
  std::set<const CZEQLSub*> runningSubs_;
  int subResult_ = sub_result::kEnded;  // why the line loop stopped
};

// "file", "temp", "chip" (any case).
std::optional<ScriptBuffer> BufferNamed(std::string_view token);
// "[file]", "[temp]", "[chip]" (any case).
std::optional<ScriptBuffer> BufferCellNamed(std::string_view token);

}  // namespace velmora
