#include "tiny1x_firmware.h"

#include <cstdio>

namespace velmora::sim {

namespace {

constexpr uint8_t kEnter = 0x3C;
constexpr uint8_t kSignature = 0x3D;
constexpr uint8_t kInstruction = 0x3E;
constexpr uint8_t kWaitReady = 0x3F;
constexpr uint8_t kSerialClock = 0x39;  // the ATmega serial clock: nothing to do here

constexpr int kFrameClocks = 11;
constexpr int kEntryToggles = 6;
constexpr double kEntryWaitMicros = 10;
constexpr uint8_t kXaBits = 0x60;
constexpr uint8_t kLoadCommandBits = 0x40;
constexpr uint8_t kWrBit = 0x08;
constexpr uint8_t kFuseCommand = 0x40;
// tWLWH_PFB, the longer of the two editions' maxima.
constexpr double kFuseWriteMicros = 3400;

}  // namespace

bool Tiny1xFirmware::Serves(uint8_t command) {
  return (command >= kEnter && command <= kWaitReady) || command == kSerialClock;
}

size_t Tiny1xFirmware::MissingBytes(std::span<const uint8_t> received) {
  const size_t length = received[0] == kInstruction ? 3 : received[0] == kSerialClock ? 2 : 1;
  return received.size() >= length ? 0 : length - received.size();
}

std::string Tiny1xFirmware::Name(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kEnter:
      return "HVSP enter";
    case kSignature:
      return "HVSP read signature";
    case kInstruction: {
      char text[48];
      std::snprintf(text, sizeof text, "HVSP instruction SDI %02X SII %02X", command[1],
                    command[2]);
      return text;
    }
    case kSerialClock:
      return "serial clock (not used in high-voltage serial mode)";
    default:
      return "HVSP wait ready";
  }
}

void Tiny1xFirmware::SetSupply(bool powered, double nowMicros) {
  now_ = nowMicros;
  if (pins_.vcc == powered) return;
  pins_ = HvspPins{.vcc = powered};
  Set();
}

void Tiny1xFirmware::ReleasePins(double nowMicros) {
  now_ = nowMicros;
  pins_ = HvspPins{.vcc = pins_.vcc};
  Set();
}

uint8_t Tiny1xFirmware::Frame(uint8_t sdi, uint8_t sii) {
  uint8_t out = 0;
  for (int clock = 0; clock < kFrameClocks; ++clock) {
    // Data and instruction bits on clocks 1..8, MSB first; set while SCI is low.
    const int bit = 8 - clock;
    pins_.sdi = clock >= 1 && clock <= 8 && ((sdi >> bit) & 1);
    pins_.sii = clock >= 1 && clock <= 8 && ((sii >> bit) & 1);
    pins_.sci = false;
    Set();
    now_ += kHalfClockMicros;
    pins_.sci = true;
    Set();
    if (clock <= 7) out = static_cast<uint8_t>(out << 1 | (chip_.Sdo(now_) ? 1 : 0));
    now_ += kHalfClockMicros;
  }
  pins_.sci = pins_.sdi = pins_.sii = false;
  Set();
  return out;
}

void Tiny1xFirmware::Enter() {
  // VCC with RESET, SDI and the clock low; the clock toggled; then 12 V on RESET.
  pins_ = HvspPins{.vcc = pins_.vcc};
  Set();
  now_ += 1;
  for (int k = 0; k < kEntryToggles; ++k) {
    pins_.sci = true;
    Set();
    now_ += kHalfClockMicros;
    pins_.sci = false;
    Set();
    now_ += kHalfClockMicros;
  }
  pins_.highVoltage = true;
  Set();
  now_ += kEntryWaitMicros;
}

void Tiny1xFirmware::NoteWrite(uint8_t sdi, uint8_t sii) {
  if ((sii & kXaBits) == kXaBits && (sii & kWrBit) == 0) {
    writeStartedAt_ = now_;
  } else if ((sii & kXaBits) == kLoadCommandBits) {
    command_ = sdi;
  }
}

void Tiny1xFirmware::FinishWrite() {
  if (!writeStartedAt_) return;
  const double fuseDone = *writeStartedAt_ + kFuseWriteMicros;
  writeStartedAt_.reset();
  WaitReady();
  // The ATtiny11 fuse write shows no busy state: its time is waited out.
  if (command_ == kFuseCommand && now_ < fuseDone) now_ = fuseDone;
}

uint8_t Tiny1xFirmware::WaitReady() {
  const double limit = now_ + kReadyLimitMicros;
  while (!chip_.Sdo(now_)) {
    if (now_ >= limit) return 0;
    // Polling in steps; the chip's end of busy is where the poll finds it.
    const double until = chip_.BusyUntil();
    now_ = until > now_ && until <= limit ? until : now_ + kPollMicros;
  }
  return 1;
}

std::vector<uint8_t> Tiny1xFirmware::Execute(std::span<const uint8_t> c, double nowMicros,
                                             double& tookMicros) {
  now_ = nowMicros;
  std::vector<uint8_t> reply;
  switch (c[0]) {
    case kEnter:
      Enter();
      reply.push_back(pins_.vcc && chip_.Sdo(now_) ? 'S' : '?');
      break;
    case kSignature:
      for (uint8_t i = 0; i < 3; ++i) {
        Frame(0x08, 0x4C);
        Frame(i, 0x0C);
        Frame(0x00, 0x68);
        reply.push_back(Frame(0x00, 0x6C));
      }
      break;
    case kInstruction:
      FinishWrite();
      reply.push_back(Frame(c[1], c[2]));
      NoteWrite(c[1], c[2]);
      break;
    case kWaitReady:
      reply.push_back(WaitReady());
      break;
    default:
      break;
  }
  tookMicros = now_ - nowMicros;
  return reply;
}

}  // namespace velmora::sim
