#include "avr_firmware.h"

#include <algorithm>
#include <cstdio>

namespace velmora::sim {

namespace {

constexpr uint8_t kParameter = 0x1F;
constexpr uint8_t kEnable = 0x2E;
constexpr uint8_t kPage0 = 0x2F, kPage1 = 0x38, kPage2 = 0x3A;
constexpr uint8_t kSignature = 0x30;
constexpr uint8_t kRead0 = 0x31, kRead1 = 0x36, kRead2 = 0x3B;
constexpr uint8_t kErase = 0x32;
constexpr uint8_t kRaw = 0x33;
constexpr uint8_t kReadEeprom = 0x34;
constexpr uint8_t kWriteEeprom = 0x35;
constexpr uint8_t kClockOut = 0x37;
constexpr uint8_t kSerialClock = 0x39;
constexpr uint8_t kHighVoltage = 0x48;
constexpr double kPollLimitMicros = 20000;  // the firmware gives up waiting after 20 ms

uint32_t Le(std::span<const uint8_t> bytes, size_t at, int count) {
  uint32_t value = 0;
  for (int k = 0; k < count; ++k) value |= uint32_t{bytes[at + k]} << (8 * k);
  return value;
}

bool IsPage(uint8_t c) {
  return c == kPage0 || c == kPage1 || c == kPage2;
}
bool IsRead(uint8_t c) {
  return c == kRead0 || c == kRead1 || c == kRead2;
}
// A raw instruction that starts a self-timed write.
bool Writes(const uint8_t* in) {
  return (in[0] == 0xAC && in[1] != 0x53) || in[0] == 0xC0 || in[0] == 0xC2 || in[0] == 0x4C;
}

}  // namespace

bool AvrFirmware::Serves(uint8_t c) {
  return c == kParameter || c == kEnable || IsPage(c) || c == kSignature || IsRead(c) ||
         c == kErase || c == kRaw || c == kReadEeprom || c == kWriteEeprom || c == kClockOut ||
         c == kSerialClock || c == kHighVoltage;
}

size_t AvrFirmware::MissingBytes(std::span<const uint8_t> r) const {
  const uint8_t c = r[0];
  auto need = [&](size_t total) { return total > r.size() ? total - r.size() : 0; };
  if (c == kParameter || c == kClockOut || c == kSerialClock) return need(2);
  if (c == kRaw) return need(5);
  if (IsRead(c)) return need(7);
  if (c == kReadEeprom) return need(5);
  if (IsPage(c)) {
    if (r.size() < 2) return 1;
    return need(2 + 2 * size_t{r[1]} + 3);
  }
  if (c == kWriteEeprom) {
    if (r.size() < 5) return need(5);
    const uint32_t count = Le(r, 3, 2);
    uint32_t cells = 0;
    size_t at = 5;
    while (cells < count && at < r.size()) {
      at += r[at] == 0x00 ? 2 : 1;
      ++cells;
    }
    if (cells < count) return std::max<size_t>(1, count - cells);
    return at > r.size() ? at - r.size() : 0;
  }
  return 0;
}

std::string AvrFirmware::Name(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kParameter:
      return "AVR device parameter";
    case kEnable:
      return "AVR serial programming enable";
    case kPage0:
    case kPage1:
    case kPage2:
      return "AVR write flash page";
    case kSignature:
      return "AVR read signature";
    case kRead0:
    case kRead1:
    case kRead2:
      return "AVR read flash";
    case kErase:
      return "AVR chip erase";
    case kRaw: {
      char text[64];
      std::snprintf(text, sizeof text, "AVR instruction %02X %02X %02X %02X", command[1],
                    command[2], command[3], command[4]);
      return text;
    }
    case kReadEeprom:
      return "AVR read EEPROM";
    case kWriteEeprom:
      return "AVR write EEPROM";
    case kClockOut:
      return command[1] ? "AVR clock output on" : "AVR clock output off";
    case kSerialClock:
      return command[1] ? "AVR slow serial clock" : "AVR normal serial clock";
    case kHighVoltage:
      return "AVR high-voltage pulse";
    default:
      return "AVR command";
  }
}

double AvrFirmware::MethodHalf(uint8_t command) const {
  if (command == kPage1 || command == kRead1) return kFastHalfMicros;
  if (command == kPage2 || command == kRead2) return kFastestHalfMicros;
  return BaseHalf();
}

std::array<uint8_t, 4> AvrFirmware::Instruction(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3,
                                                double half) {
  const std::array<uint8_t, 4> out = chip_.Transfer({b0, b1, b2, b3}, half, now_);
  now_ += 64 * half;  // 32 SCK periods
  return out;
}

void AvrFirmware::WaitReady(double half, bool dataPolling, uint8_t readInstruction, uint8_t high,
                            uint8_t low, uint8_t expected) {
  const double limit = now_ + kPollLimitMicros;
  if (deviceParameter_ == 6) {
    while (now_ < limit && (Instruction(0xF0, 0x00, 0x00, 0x00, half)[3] & 1)) {
    }
    return;
  }
  if (dataPolling && expected != 0xFF) {
    while (now_ < limit && Instruction(readInstruction, high, low, 0x00, half)[3] != expected) {
    }
    return;
  }
  now_ += kFixedWriteWaitMicros;
}

std::vector<uint8_t> AvrFirmware::Execute(std::span<const uint8_t> c, double nowMicros,
                                          double& tookMicros) {
  now_ = nowMicros;
  std::vector<uint8_t> reply;
  const uint8_t command = c[0];
  const double half = MethodHalf(command);
  if (command == kParameter) {
    deviceParameter_ = c[1];
  } else if (command == kSerialClock) {
    slowClock_ = c[1] != 0;
  } else if (command == kClockOut) {
    chip_.SetProgrammerClock(c[1] != 0);
  } else if (command == kHighVoltage) {
    chip_.RestoreFactoryFusesHighVoltage();
    now_ += 50000;
  } else if (command == kEnable) {
    chip_.Reset(now_);
    now_ += kEnableWaitMicros;
    const auto out = Instruction(0xAC, 0x53, 0x00, 0x00, half);
    reply.push_back(out[2] == 0x53 ? 'S' : '?');
  } else if (command == kSignature) {
    for (uint8_t i = 0; i < 3; ++i) reply.push_back(Instruction(0x30, 0x00, i, 0x00, half)[3]);
  } else if (command == kErase) {
    Instruction(0xAC, 0x80, 0x00, 0x00, half);
    WaitReady(half, false, 0, 0, 0, 0xFF);
    reply.push_back(0x00);
  } else if (command == kRaw) {
    reply.push_back(Instruction(c[1], c[2], c[3], c[4], half)[3]);
    if (Writes(&c[1])) now_ += kFixedWriteWaitMicros;
  } else if (IsPage(command)) {
    const uint32_t words = c[1];
    for (uint32_t k = 0; k < words; ++k) {
      Instruction(0x40, 0x00, static_cast<uint8_t>(k), c[2 + 2 * k], half);
      Instruction(0x48, 0x00, static_cast<uint8_t>(k), c[3 + 2 * k], half);
    }
    const size_t trailer = 2 + 2 * size_t{words};
    const uint8_t high = c[trailer], low = c[trailer + 1], readInstruction = c[trailer + 2];
    Instruction(0x4C, high, low, 0x00, half);
    // The byte the trailer names, as loaded: its offset in the page from the word address.
    const uint32_t offset = (uint32_t{high} << 8 | low) % std::max<uint32_t>(1, words);
    const uint8_t expected = c[2 + 2 * offset + (readInstruction == 0x28 ? 1 : 0)];
    WaitReady(half, true, readInstruction, high, low, expected);
  } else if (IsRead(command)) {
    const uint32_t start = Le(c, 1, 3), count = Le(c, 4, 3);
    const bool extended = chip_.part().flashBytes > 0x20000;
    int lastExtended = -1;
    for (uint32_t w = start; w < start + count; ++w) {
      if (extended && static_cast<int>(w >> 16) != lastExtended) {
        lastExtended = static_cast<int>(w >> 16);
        Instruction(0x4D, 0x00, static_cast<uint8_t>(lastExtended), 0x00, half);
      }
      const auto high = static_cast<uint8_t>(w >> 8), low = static_cast<uint8_t>(w);
      reply.push_back(Instruction(0x20, high, low, 0x00, half)[3]);
      reply.push_back(Instruction(0x28, high, low, 0x00, half)[3]);
    }
  } else if (command == kReadEeprom) {
    const uint32_t start = Le(c, 1, 2), count = Le(c, 3, 2);
    for (uint32_t a = start; a < start + count; ++a) {
      reply.push_back(
          Instruction(0xA0, static_cast<uint8_t>(a >> 8), static_cast<uint8_t>(a), 0x00, half)[3]);
    }
  } else if (command == kWriteEeprom) {
    const uint32_t start = Le(c, 1, 2), count = Le(c, 3, 2);
    size_t at = 5;
    for (uint32_t a = start; a < start + count && at < c.size(); ++a) {
      if (c[at] != 0x00) {
        ++at;
        continue;
      }
      const uint8_t value = c[at + 1];
      at += 2;
      const auto high = static_cast<uint8_t>(a >> 8), low = static_cast<uint8_t>(a);
      Instruction(0xC0, high, low, value, half);
      WaitReady(half, true, 0xA0, high, low, value);
    }
  }
  tookMicros = now_ - nowMicros;
  return reply;
}

}  // namespace velmora::sim
