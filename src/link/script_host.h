#pragma once
// The script engine as the link sees it: the code image that is uploaded, the mirror of the
// programmer's algorithm area, and the generator made at the first successful open. The
// script engine implements it, so the link never includes a script header.
#include <cstdint>
#include <span>

namespace velmora {

class IScriptHost {
 public:
  // The 64 KB code image and the 64 KB mirror of what the programmer's area holds.
  virtual std::span<uint8_t> ScriptCodeImage() = 0;
  virtual std::span<uint8_t> ScriptUploadImage() = 0;
  virtual int ScriptCodeStart() const = 0;
  virtual int ScriptCodeEnd() const = 0;
  // The algorithm area as the firmware reports it; false when it is no valid area.
  virtual bool SetScriptCodeArea(int start, int end) = 0;
  // The firmware's delay routine base, second entry and byte receive routine.
  virtual void SetScriptFirmwareAddresses(int delayBase, int secondEntry, int receiveRoutine) = 0;
  // Called when the FT232 was opened; the host makes its code generator the first time.
  virtual void OnProgrammerOpened() = 0;

 protected:
  ~IScriptHost() = default;
};

}  // namespace velmora
