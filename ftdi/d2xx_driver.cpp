// The D2XX entry points on libftdi1, for the programmer's FT232R/FT232B on Linux.
//
// One handle is one libftdi context. Handles are numbered tokens looked up in a table, never
// pointers to dereference, so a null, closed or foreign handle is answered with
// FT_INVALID_HANDLE. Calls on one handle are serialised; the link uses a handle from one thread
// at a time anyway. Set VELMORA_D2XX_TRACE=1 to have libftdi1's error texts on stderr.
#include <ftdi.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <vector>

#include "ftdi/d2xx_abi.h"
#include "ftdi/d2xx_params.h"
#include "ftdi/d2xx_transfer.h"
#include "platform/clock.h"

// libftdi1 numbers the serial settings exactly like D2XX, so they pass through unchanged.
static_assert(FT_BITS_7 == BITS_7 && FT_BITS_8 == BITS_8);
static_assert(FT_STOP_BITS_1 == STOP_BIT_1 && FT_STOP_BITS_2 == STOP_BIT_2);
static_assert(FT_PARITY_NONE == NONE && FT_PARITY_ODD == ODD && FT_PARITY_EVEN == EVEN &&
              FT_PARITY_MARK == MARK && FT_PARITY_SPACE == SPACE);
static_assert(FT_FLOW_NONE == SIO_DISABLE_FLOW_CTRL && FT_FLOW_RTS_CTS == SIO_RTS_CTS_HS &&
              FT_FLOW_DTR_DSR == SIO_DTR_DSR_HS && FT_FLOW_XON_XOFF == SIO_XON_XOFF_HS);
static_assert(FT_BITMODE_RESET == BITMODE_RESET && FT_BITMODE_ASYNC_BITBANG == BITMODE_BITBANG);

namespace velmora {
namespace {

constexpr int kFtdiVendorId = 0x0403;
constexpr int kFt232ProductId = 0x6001;  // FT232R and FT232B enumerate alike
constexpr int kLibftdiDeviceNotFound = -3;
constexpr int kLibftdiInvalidBaudrate = -1;
constexpr size_t kDefaultChunkSize = 4096;  // libftdi1's default in both directions

struct FtdiFree {
  void operator()(ftdi_context* ftdi) const { ftdi_free(ftdi); }
};

struct Device {
  std::mutex mutex;
  std::unique_ptr<ftdi_context, FtdiFree> ftdi;
  bool closed = false;
  uint32_t readTimeoutMs = 0;
  size_t writeChunkSize = kDefaultChunkSize;
  std::vector<uint8_t> received;  // pulled from the chip by FT_GetStatus, not read yet
};

class HandleTable {
 public:
  FT_HANDLE Add(std::shared_ptr<Device> device) {
    std::lock_guard lock(mutex_);
    const uintptr_t token = nextToken_++;
    devices_.emplace(token, std::move(device));
    return reinterpret_cast<FT_HANDLE>(token);
  }
  std::shared_ptr<Device> Find(FT_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto it = devices_.find(reinterpret_cast<uintptr_t>(handle));
    return it == devices_.end() ? nullptr : it->second;
  }
  std::shared_ptr<Device> Remove(FT_HANDLE handle) {
    std::lock_guard lock(mutex_);
    const auto node = devices_.extract(reinterpret_cast<uintptr_t>(handle));
    return node ? node.mapped() : nullptr;
  }

 private:
  std::mutex mutex_;
  std::map<uintptr_t, std::shared_ptr<Device>> devices_;
  uintptr_t nextToken_ = 1;  // never reused, so a closed handle stays invalid
};

HandleTable& Handles() {
  static HandleTable table;
  return table;
}

void TraceFailure(const char* call, int result, ftdi_context* ftdi) {
  if (std::getenv("VELMORA_D2XX_TRACE") == nullptr) return;
  std::fprintf(stderr, "velmora-d2xx: %s failed (%d): %s\n", call, result,
               ftdi ? ftdi_get_error_string(ftdi) : "no libftdi context");
}

FT_STATUS Checked(Device& device, int result, const char* call) {
  if (result >= 0) return FT_OK;
  TraceFailure(call, result, device.ftdi.get());
  return FT_IO_ERROR;
}

// No exception may cross the C interface.
template <class Action>
FT_STATUS Guarded(Action action) noexcept {
  try {
    return action();
  } catch (const std::bad_alloc&) {
    return FT_INSUFFICIENT_RESOURCES;
  } catch (...) {
    return FT_OTHER_ERROR;
  }
}

// Runs action on the open device behind handle, holding the device's lock.
template <class Action>
FT_STATUS WithDevice(FT_HANDLE handle, Action action) noexcept {
  return Guarded([&]() -> FT_STATUS {
    const std::shared_ptr<Device> device = Handles().Find(handle);
    if (!device) return FT_INVALID_HANDLE;
    std::lock_guard lock(device->mutex);
    if (device->closed) return FT_INVALID_HANDLE;
    return action(*device);
  });
}

int ClampToInt(size_t size) {
  return static_cast<int>(std::min<size_t>(size, INT_MAX));
}

FT_STATUS Open(const char* description, const char* serial, FT_HANDLE* handle) {
  auto device = std::make_shared<Device>();
  device->ftdi.reset(ftdi_new());
  // ftdi_new fails when libusb cannot start, i.e. there is no USB to find a device on.
  if (!device->ftdi) return FT_DEVICE_NOT_FOUND;
  const int result =
      ftdi_usb_open_desc(device->ftdi.get(), kFtdiVendorId, kFt232ProductId, description, serial);
  if (result < 0) {
    TraceFailure("ftdi_usb_open_desc", result, device->ftdi.get());
    return result == kLibftdiDeviceNotFound ? FT_DEVICE_NOT_FOUND : FT_DEVICE_NOT_OPENED;
  }
  *handle = Handles().Add(std::move(device));
  return FT_OK;
}

}  // namespace
}  // namespace velmora

using velmora::ClampToInt;
using velmora::Device;
using velmora::WithDevice;

FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle) {
  if (handle == nullptr) return FT_INVALID_PARAMETER;
  *handle = nullptr;
  const char* text = static_cast<const char*>(arg);
  if (text == nullptr) return FT_INVALID_PARAMETER;
  if (flags != FT_OPEN_BY_DESCRIPTION && flags != FT_OPEN_BY_SERIAL_NUMBER) {
    return FT_INVALID_PARAMETER;
  }
  const bool byDescription = flags == FT_OPEN_BY_DESCRIPTION;
  return velmora::Guarded([&] {
    return velmora::Open(byDescription ? text : nullptr, byDescription ? nullptr : text, handle);
  });
}

FT_STATUS FT_Close(FT_HANDLE handle) {
  return velmora::Guarded([&]() -> FT_STATUS {
    const std::shared_ptr<Device> device = velmora::Handles().Remove(handle);
    if (!device) return FT_INVALID_HANDLE;
    std::lock_guard lock(device->mutex);
    device->closed = true;
    return velmora::Checked(*device, ftdi_usb_close(device->ftdi.get()), "ftdi_usb_close");
  });
}

FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                       uint32_t* eventStatus) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if (!rxBytes || !txBytes || !eventStatus) return FT_INVALID_PARAMETER;
    // libftdi1 cannot peek at the chip's queue: take what has arrived and keep it for FT_Read.
    std::vector<uint8_t> arrived(velmora::kDefaultChunkSize);
    const int got = ftdi_read_data(device.ftdi.get(), arrived.data(), ClampToInt(arrived.size()));
    if (got < 0) return velmora::Checked(device, got, "ftdi_read_data");
    device.received.insert(device.received.end(), arrived.begin(), arrived.begin() + got);
    *rxBytes = static_cast<uint32_t>(device.received.size());
    *txBytes = 0;  // ftdi_write_data returns only when the chip has taken the bytes
    *eventStatus = 0;
    return FT_OK;
  });
}

FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if ((mask & ~(FT_PURGE_RX | FT_PURGE_TX)) != 0) return FT_INVALID_PARAMETER;
    FT_STATUS status = FT_OK;
    if (mask & FT_PURGE_RX) {
      device.received.clear();
      status = velmora::Checked(device, ftdi_tciflush(device.ftdi.get()), "ftdi_tciflush");
    }
    if ((mask & FT_PURGE_TX) && status == FT_OK) {
      status = velmora::Checked(device, ftdi_tcoflush(device.ftdi.get()), "ftdi_tcoflush");
    }
    return status;
  });
}

FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead, uint32_t* bytesReturned) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if (!bytesReturned || (!buffer && bytesToRead != 0)) return FT_INVALID_PARAMETER;
    const std::span dest(static_cast<uint8_t*>(buffer), bytesToRead);
    const size_t kept = std::min(device.received.size(), dest.size());
    std::copy_n(device.received.begin(), kept, dest.begin());
    device.received.erase(device.received.begin(), device.received.begin() + kept);
    int lastResult = 0;
    const auto outcome = velmora::ReadWithTimeout(
        dest.subspan(kept), device.readTimeoutMs, velmora::DefaultClock(),
        [&](std::span<uint8_t> rest) {
          return lastResult =
                     ftdi_read_data(device.ftdi.get(), rest.data(), ClampToInt(rest.size()));
        });
    *bytesReturned = static_cast<uint32_t>(kept + outcome.count);
    return outcome.failed ? velmora::Checked(device, lastResult, "ftdi_read_data") : FT_OK;
  });
}

FT_STATUS FT_ResetDevice(FT_HANDLE handle) {
  return WithDevice(handle, [&](Device& device) {
    device.received.clear();
    return velmora::Checked(device, ftdi_usb_reset(device.ftdi.get()), "ftdi_usb_reset");
  });
}

FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    // Reads libftdi1's own bit-bang flag: that flag decides whether it multiplies by 4.
    const bool bitBang = device.ftdi->bitbang_enabled != 0;
    const int rate = velmora::LibftdiBaudrate(baudRate, bitBang);
    if (rate <= 0) return FT_INVALID_BAUD_RATE;
    const int result = ftdi_set_baudrate(device.ftdi.get(), rate);
    if (result == velmora::kLibftdiInvalidBaudrate) return FT_INVALID_BAUD_RATE;
    return velmora::Checked(device, result, "ftdi_set_baudrate");
  });
}

FT_STATUS FT_SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t mode) {
  return WithDevice(handle, [&](Device& device) {
    return velmora::Checked(device, ftdi_set_bitmode(device.ftdi.get(), mask, mode),
                            "ftdi_set_bitmode");
  });
}

FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                    uint8_t parity) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if (!velmora::IsValidDataCharacteristics(wordLength, stopBits, parity)) {
      return FT_INVALID_PARAMETER;
    }
    const int result =
        ftdi_set_line_property(device.ftdi.get(), ftdi_bits_type(wordLength),
                               ftdi_stopbits_type(stopBits), ftdi_parity_type(parity));
    return velmora::Checked(device, result, "ftdi_set_line_property");
  });
}

FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl, uint8_t xonChar,
                            uint8_t xoffChar) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if (!velmora::IsValidFlowControl(flowControl)) return FT_INVALID_PARAMETER;
    const int result = flowControl == FT_FLOW_XON_XOFF
                           ? ftdi_setflowctrl_xonxoff(device.ftdi.get(), xonChar, xoffChar)
                           : ftdi_setflowctrl(device.ftdi.get(), flowControl);
    return velmora::Checked(device, result, "ftdi_setflowctrl");
  });
}

FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t milliseconds) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if (milliseconds == 0) return FT_INVALID_PARAMETER;
    return velmora::Checked(device, ftdi_set_latency_timer(device.ftdi.get(), milliseconds),
                            "ftdi_set_latency_timer");
  });
}

FT_STATUS FT_SetRts(FT_HANDLE handle) {
  return WithDevice(handle, [&](Device& device) {
    return velmora::Checked(device, ftdi_setrts(device.ftdi.get(), 1), "ftdi_setrts");
  });
}

FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs, uint32_t writeTimeoutMs) {
  return WithDevice(handle, [&](Device& device) {
    device.readTimeoutMs = readTimeoutMs;
    device.ftdi->usb_write_timeout = velmora::UsbWriteTimeoutMs(writeTimeoutMs);
    return FT_OK;
  });
}

FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, uint32_t inTransferSize, uint32_t outTransferSize) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    // An out size of 0 leaves the write size as it is.
    if (!velmora::IsValidTransferSize(inTransferSize) ||
        (outTransferSize != 0 && !velmora::IsValidTransferSize(outTransferSize))) {
      return FT_INVALID_PARAMETER;
    }
    FT_STATUS status =
        velmora::Checked(device, ftdi_read_data_set_chunksize(device.ftdi.get(), inTransferSize),
                         "ftdi_read_data_set_chunksize");
    if (outTransferSize != 0 && status == FT_OK) {
      status = velmora::Checked(device,
                                ftdi_write_data_set_chunksize(device.ftdi.get(), outTransferSize),
                                "ftdi_write_data_set_chunksize");
      if (status == FT_OK) device.writeChunkSize = outTransferSize;
    }
    return status;
  });
}

FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite,
                   uint32_t* bytesWritten) {
  return WithDevice(handle, [&](Device& device) -> FT_STATUS {
    if (!bytesWritten || (!buffer && bytesToWrite != 0)) return FT_INVALID_PARAMETER;
    int lastResult = 0;
    const auto outcome = velmora::WriteInChunks(
        std::span(static_cast<const uint8_t*>(buffer), bytesToWrite), device.writeChunkSize,
        [&](std::span<const uint8_t> chunk) {
          return lastResult =
                     ftdi_write_data(device.ftdi.get(), chunk.data(), ClampToInt(chunk.size()));
        });
    *bytesWritten = static_cast<uint32_t>(outcome.count);
    if (!outcome.failed) return FT_OK;
    // A write the chip took nothing of within the USB timeout is an I/O failure too.
    return velmora::Checked(device, lastResult < 0 ? lastResult : -1, "ftdi_write_data");
  });
}
