#pragma once
// The part of the FT232 D2XX driver interface that the link uses: handle and status types, the
// fifteen entry points it resolves by name, and the constants it passes. Written from the
// library's public calling conventions, so any library exporting these C symbols (the vendor's
// driver, the libftdi1-based driver, the simulator) can stand behind the link.
//
// Widths: DWORD-like values are 32 bits. A status returned in a wider register still reads
// correctly through the low 32 bits.
#include <stdint.h>

#ifdef _WIN32
#define VELMORA_D2XX_CALL __stdcall
#else
#define VELMORA_D2XX_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef void* FT_HANDLE;
typedef uint32_t FT_STATUS;

// Status values.
#define FT_OK ((FT_STATUS)0)
#define FT_INVALID_HANDLE ((FT_STATUS)1)
#define FT_DEVICE_NOT_FOUND ((FT_STATUS)2)
#define FT_DEVICE_NOT_OPENED ((FT_STATUS)3)
#define FT_IO_ERROR ((FT_STATUS)4)
#define FT_INSUFFICIENT_RESOURCES ((FT_STATUS)5)
#define FT_INVALID_PARAMETER ((FT_STATUS)6)
#define FT_INVALID_BAUD_RATE ((FT_STATUS)7)
#define FT_OTHER_ERROR ((FT_STATUS)18)

// FT_OpenEx flags.
#define FT_OPEN_BY_SERIAL_NUMBER 1u
#define FT_OPEN_BY_DESCRIPTION 2u

// FT_SetDataCharacteristics values.
#define FT_BITS_7 7
#define FT_BITS_8 8
#define FT_STOP_BITS_1 0
#define FT_STOP_BITS_2 2
#define FT_PARITY_NONE 0
#define FT_PARITY_ODD 1
#define FT_PARITY_EVEN 2
#define FT_PARITY_MARK 3
#define FT_PARITY_SPACE 4

// FT_SetFlowControl values.
#define FT_FLOW_NONE 0x0000
#define FT_FLOW_RTS_CTS 0x0100
#define FT_FLOW_DTR_DSR 0x0200
#define FT_FLOW_XON_XOFF 0x0400

// FT_Purge masks.
#define FT_PURGE_RX 1u
#define FT_PURGE_TX 2u

// FT_SetBitMode modes.
#define FT_BITMODE_RESET 0x00
#define FT_BITMODE_ASYNC_BITBANG 0x01

typedef FT_STATUS(VELMORA_D2XX_CALL* FT_Close_t)(FT_HANDLE handle);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_GetStatus_t)(FT_HANDLE handle, uint32_t* rxBytes,
                                                     uint32_t* txBytes, uint32_t* eventStatus);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_OpenEx_t)(void* argument, uint32_t flags,
                                                  FT_HANDLE* handle);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_Purge_t)(FT_HANDLE handle, uint32_t mask);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_Read_t)(FT_HANDLE handle, void* buffer,
                                                uint32_t bytesToRead, uint32_t* bytesReturned);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_ResetDevice_t)(FT_HANDLE handle);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetBaudRate_t)(FT_HANDLE handle, uint32_t baudRate);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetBitMode_t)(FT_HANDLE handle, uint8_t mask, uint8_t mode);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetDataCharacteristics_t)(FT_HANDLE handle,
                                                                  uint8_t wordLength,
                                                                  uint8_t stopBits, uint8_t parity);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetFlowControl_t)(FT_HANDLE handle, uint16_t flowControl,
                                                          uint8_t xon, uint8_t xoff);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetLatencyTimer_t)(FT_HANDLE handle, uint8_t timer);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetRts_t)(FT_HANDLE handle);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetTimeouts_t)(FT_HANDLE handle, uint32_t readTimeout,
                                                       uint32_t writeTimeout);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_SetUSBParameters_t)(FT_HANDLE handle,
                                                            uint32_t inTransferSize,
                                                            uint32_t outTransferSize);
typedef FT_STATUS(VELMORA_D2XX_CALL* FT_Write_t)(FT_HANDLE handle, void* buffer,
                                                 uint32_t bytesToWrite, uint32_t* bytesWritten);

#ifdef __cplusplus
}
#endif
