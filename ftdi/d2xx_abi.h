#pragma once
// The D2XX driver interface as libvelmora-d2xx.so exports it: the types, status codes and
// constants of the fifteen FT_* entry points that the programmer link resolves by name at run
// time. On Linux the D2XX functions use the plain C calling convention; the DWORD and ULONG
// parameters of the interface are 32 bits wide, UCHAR 8 and USHORT 16.
#include <cstdint>

#define VELMORA_D2XX_EXPORT extern "C" __attribute__((visibility("default")))

// Types, status codes and constants are the ones the programmer link binds against. The purge
// bits: RX drops what the chip received and the PC has not read yet, TX what the PC wrote and
// the chip has not sent yet. In asynchronous bit-bang mode every written byte is put on the pins
// (the mask selects the outputs) and the pin states are captured for reading; the sample clock
// runs at 16 times the baud rate set with FT_SetBaudRate.
#include "link/d2xx.h"

// The entry points. Every function but FT_OpenEx answers a null, closed or unknown handle with
// FT_INVALID_HANDLE.
VELMORA_D2XX_EXPORT FT_STATUS FT_OpenEx(void* arg, uint32_t flags, FT_HANDLE* handle);
VELMORA_D2XX_EXPORT FT_STATUS FT_Close(FT_HANDLE handle);
VELMORA_D2XX_EXPORT FT_STATUS FT_GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes,
                                           uint32_t* eventStatus);
VELMORA_D2XX_EXPORT FT_STATUS FT_Purge(FT_HANDLE handle, uint32_t mask);
VELMORA_D2XX_EXPORT FT_STATUS FT_Read(FT_HANDLE handle, void* buffer, uint32_t bytesToRead,
                                      uint32_t* bytesReturned);
VELMORA_D2XX_EXPORT FT_STATUS FT_ResetDevice(FT_HANDLE handle);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetBaudRate(FT_HANDLE handle, uint32_t baudRate);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t mode);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength,
                                                        uint8_t stopBits, uint8_t parity);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetFlowControl(FT_HANDLE handle, uint16_t flowControl,
                                                uint8_t xonChar, uint8_t xoffChar);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetLatencyTimer(FT_HANDLE handle, uint8_t milliseconds);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetRts(FT_HANDLE handle);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetTimeouts(FT_HANDLE handle, uint32_t readTimeoutMs,
                                             uint32_t writeTimeoutMs);
VELMORA_D2XX_EXPORT FT_STATUS FT_SetUSBParameters(FT_HANDLE handle, uint32_t inTransferSize,
                                                  uint32_t outTransferSize);
VELMORA_D2XX_EXPORT FT_STATUS FT_Write(FT_HANDLE handle, const void* buffer, uint32_t bytesToWrite,
                                       uint32_t* bytesWritten);
