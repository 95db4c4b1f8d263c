// PIC18 device table. Identification masks the five revision bits off the device ID, so one row
// covers every silicon revision. PIC18F2480 and PIC18F2580 carry the same ID: the scan from the
// last row down reports PIC18F2580 (the 2580's own ID is not confirmed by a maker's document).
//
// Rows corrected against gputils (gpasm's processor data), where the first table made a Program
// skip data or a Verify report a false result:
//
// | Rows (PIC18F...)            | Column    | Was -> now         | Why                        |
// |-----------------------------|-----------|--------------------|----------------------------|
// | 6621                        | size      | 49152/6 -> 65536/8 | code from 0xC000 was lost  |
// | 8525                        | size      | 65536/8 -> 49152/6 | swapped with the 6621      |
// | 2221 2321 4221 4321         | EEPROM/RAM| 0/0 -> 256/512     | EEPROM data was skipped    |
// | 2480 2580 4480 4580         | CONFIG4L  | E5 -> D5           | BBSIZ was never checked    |
// | 2431                        | CONFIG5-7L| 03 -> 0F           | blocks 2, 3 never checked  |
// | 4431                        | CONFIG2L  | 0D -> 0F           | BOREN was never checked    |
// | 4331 4431                   | CONFIG3H  | 99 -> 9D           | bit 2 was never checked    |
// | 2221 2321 4221 4321         | CONFIG3H  | 86 -> 87           | CCP2MX was never checked   |
// | 6310 6390 6410 6490 8390 8490 | CONFIG3H | 84 -> 85          | CCP2MX was never checked   |
// | 6585 6680, 8585, 8525 8621  | CONFIG3H  | 80 -> 81, 83, 83   | CCP2MX, ECCPMX unchecked   |
// | 242 248 442 448 4331        | CONFIG5-7L| 0F -> 03           | no blocks 2, 3             |
// | 2410 2510 2515 2610, 44..   | CONFIG5/6H| C0/E0 -> 40/60     | no EEPROM: no CPD, WRTD    |
// | 2331 2431                   | CONFIG3H  | 99 -> 80           | 28 pins: no FLTAMX..EXCLKMX|
// | 2455 2550                   | CONFIG4L  | E5 -> C5           | 28 pins: no ICPRT          |
// | 2480 2580 4480 4580         | CONFIG3H  | 87 -> 86           | no CCP2MX                  |
// | 6310 6390 6410 6490 8390 8490 | CONFIG3L,7L | C3,01 -> 00   | no external bus, no EBTR   |
// | 6525 6621 6527 6622 6627 6722 | CONFIG3L | 83/03 -> 00       | 64 pins: no external bus   |
// | 8520 8620                   | CONFIG3H  | 03 -> 01           | no bit 1                   |
// (44..: 4410 4510 4515 4610.)
//
// A bit that does not exist reads back as 0, so with it in the mask a file holding the maker's
// default (1) failed its Verify; a bit missing from the mask was never verified and read back as
// 1 whatever the chip held. Kept although gputils differs: the RAM of 6525/6621/8525/8621 (3936;
// gputils 3840, unconfirmed by the maker's documents, only the RAM dump reads more), CONFIG4L
// bit 3 of 2221/2321/4221/4321 (unconfirmed which is right; the options encode it as 0).
#include "memory/catalogue.h"

namespace velmora {

const Pic18Device kPic18Devices[kPic18DeviceRows + 1] = {
    // clang-format off
    {.name = "Unknown Device", .deviceId = 0,      .programSize = 0,      .panels = 1,  // row 0
     .eepromSize = 0,    .ramSize = 0,    .algorithm = 1, .eraseBlock = 0,  .writeBuffer = 0,
     .remark = "",                   .configMasks = {}},
    {.name = "PIC18F242",      .deviceId = 0x0480, .programSize = 16384,  .panels = 2,  // row 1
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F248",      .deviceId = 0x0800, .programSize = 16384,  .panels = 2,  // row 2
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x00, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F252",      .deviceId = 0x0400, .programSize = 32768,  .panels = 4,  // row 3
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F258",      .deviceId = 0x0840, .programSize = 32768,  .panels = 4,  // row 4
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x00, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F442",      .deviceId = 0x04A0, .programSize = 16384,  .panels = 2,  // row 5
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F448",      .deviceId = 0x0820, .programSize = 16384,  .panels = 2,  // row 6
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x00, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F452",      .deviceId = 0x0420, .programSize = 32768,  .panels = 4,  // row 7
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F458",      .deviceId = 0x0860, .programSize = 32768,  .panels = 4,  // row 8
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x00, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F1220",     .deviceId = 0x07E0, .programSize = 4096,   .panels = 1,  // row 9
     .eepromSize = 256,  .ramSize = 256,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x80, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2220",     .deviceId = 0x0580, .programSize = 4096,   .panels = 1,  // row 10
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x83, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F4220",     .deviceId = 0x05A0, .programSize = 4096,   .panels = 1,  // row 11
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x83, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F1320",     .deviceId = 0x07C0, .programSize = 8192,   .panels = 1,  // row 12
     .eepromSize = 256,  .ramSize = 256,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x80, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2320",     .deviceId = 0x0500, .programSize = 8192,   .panels = 1,  // row 13
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x83, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4320",     .deviceId = 0x0520, .programSize = 8192,   .panels = 1,  // row 14
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x1F, 0x00, 0x83, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F2331",     .deviceId = 0x08E0, .programSize = 8192,   .panels = 1,  // row 15
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x3F, 0x3C, 0x80, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2431",     .deviceId = 0x08C0, .programSize = 16384,  .panels = 2,  // row 16
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x3F, 0x3C, 0x80, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4331",     .deviceId = 0x08A0, .programSize = 8192,   .panels = 1,  // row 17
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x3F, 0x3C, 0x9D, 0x85,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F4431",     .deviceId = 0x0880, .programSize = 16384,  .panels = 2,  // row 18
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x0F, 0x3F, 0x3C, 0x9D, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F2221",     .deviceId = 0x2160, .programSize = 4096,   .panels = 1,  // row 19
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "temporary",          .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xFD,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2321",     .deviceId = 0x2120, .programSize = 8192,   .panels = 1,  // row 20
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "temporary",          .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xFD,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2410",     .deviceId = 0x1160, .programSize = 16384,  .panels = 1,  // row 21
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x03, 0x40, 0x03, 0x60, 0x03, 0x40}},
    {.name = "PIC18F2420",     .deviceId = 0x1140, .programSize = 16384,  .panels = 1,  // row 22
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2455",     .deviceId = 0x1260, .programSize = 24576,  .panels = 1,  // row 23
     .eepromSize = 256,  .ramSize = 2048, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F2480",     .deviceId = 0x1AE0, .programSize = 16384,  .panels = 1,  // row 24
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xD5,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F2510",     .deviceId = 0x1120, .programSize = 32768,  .panels = 1,  // row 25
     .eepromSize = 0,    .ramSize = 1536, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0x40, 0x0F, 0x60, 0x0F, 0x40}},
    {.name = "PIC18F2515",     .deviceId = 0x0CE0, .programSize = 49152,  .panels = 1,  // row 26
     .eepromSize = 0,    .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x07, 0x40, 0x07, 0x60, 0x07, 0x40}},
    {.name = "PIC18F2520",     .deviceId = 0x1100, .programSize = 32768,  .panels = 1,  // row 27
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F2525",     .deviceId = 0x0CC0, .programSize = 49152,  .panels = 1,  // row 28
     .eepromSize = 1024, .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F2550",     .deviceId = 0x1240, .programSize = 32768,  .panels = 1,  // row 29
     .eepromSize = 256,  .ramSize = 2048, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F2580",     .deviceId = 0x1AE0, .programSize = 32768,  .panels = 1,  // row 30
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xD5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F2585",     .deviceId = 0x0EE0, .programSize = 49152,  .panels = 1,  // row 31
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xF5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F2610",     .deviceId = 0x0CA0, .programSize = 65536,  .panels = 1,  // row 32
     .eepromSize = 0,    .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0x40, 0x0F, 0x60, 0x0F, 0x40}},
    {.name = "PIC18F2620",     .deviceId = 0x0C80, .programSize = 65536,  .panels = 1,  // row 33
     .eepromSize = 1024, .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F2680",     .deviceId = 0x0EC0, .programSize = 65536,  .panels = 1,  // row 34
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xF5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4221",     .deviceId = 0x2140, .programSize = 4096,   .panels = 1,  // row 35
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xFD,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F4321",     .deviceId = 0x2100, .programSize = 8192,   .panels = 1,  // row 36
     .eepromSize = 256,  .ramSize = 512,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xFD,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F4410",     .deviceId = 0x10E0, .programSize = 16384,  .panels = 1,  // row 37
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x03, 0x40, 0x03, 0x60, 0x03, 0x40}},
    {.name = "PIC18F4420",     .deviceId = 0x10C0, .programSize = 16384,  .panels = 1,  // row 38
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F4455",     .deviceId = 0x1220, .programSize = 24576,  .panels = 1,  // row 39
     .eepromSize = 256,  .ramSize = 2048, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xE5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F4480",     .deviceId = 0x1AA0, .programSize = 16384,  .panels = 1,  // row 40
     .eepromSize = 256,  .ramSize = 768,  .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xD5,
                                                     0x00, 0x03, 0xC0, 0x03, 0xE0, 0x03, 0x40}},
    {.name = "PIC18F4510",     .deviceId = 0x10A0, .programSize = 32768,  .panels = 1,  // row 41
     .eepromSize = 0,    .ramSize = 1536, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0x40, 0x0F, 0x60, 0x0F, 0x40}},
    {.name = "PIC18F4515",     .deviceId = 0x0C60, .programSize = 49152,  .panels = 1,  // row 42
     .eepromSize = 0,    .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x07, 0x40, 0x07, 0x60, 0x07, 0x40}},
    {.name = "PIC18F4520",     .deviceId = 0x1080, .programSize = 32768,  .panels = 1,  // row 43
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4525",     .deviceId = 0x0C40, .programSize = 49152,  .panels = 1,  // row 44
     .eepromSize = 1024, .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F4550",     .deviceId = 0x1200, .programSize = 32768,  .panels = 1,  // row 45
     .eepromSize = 256,  .ramSize = 2048, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xE5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4580",     .deviceId = 0x1A80, .programSize = 32768,  .panels = 1,  // row 46
     .eepromSize = 256,  .ramSize = 1536, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 32,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xD5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4585",     .deviceId = 0x0EA0, .programSize = 49152,  .panels = 1,  // row 47
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xF5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F4610",     .deviceId = 0x0C20, .programSize = 65536,  .panels = 1,  // row 48
     .eepromSize = 0,    .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0x40, 0x0F, 0x60, 0x0F, 0x40}},
    {.name = "PIC18F4620",     .deviceId = 0x0C00, .programSize = 65536,  .panels = 1,  // row 49
     .eepromSize = 1024, .ramSize = 3968, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x87, 0xC5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F4680",     .deviceId = 0x0E80, .programSize = 65536,  .panels = 1,  // row 50
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x86, 0xF5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F6310",     .deviceId = 0x0BE0, .programSize = 8192,   .panels = 1,  // row 51
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {.name = "PIC18F6390",     .deviceId = 0x0BA0, .programSize = 8192,   .panels = 1,  // row 52
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {.name = "PIC18F6410",     .deviceId = 0x06E0, .programSize = 16384,  .panels = 1,  // row 53
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {.name = "PIC18F6490",     .deviceId = 0x06A0, .programSize = 16384,  .panels = 1,  // row 54
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {.name = "PIC18F8310",     .deviceId = 0x0BC0, .programSize = 8192,   .panels = 1,  // row 55
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0xC3, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}},
    {.name = "PIC18F8390",     .deviceId = 0x0B80, .programSize = 8192,   .panels = 1,  // row 56
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {.name = "PIC18F8410",     .deviceId = 0x06C0, .programSize = 16384,  .panels = 1,  // row 57
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0xC3, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00}},
    {.name = "PIC18F8490",     .deviceId = 0x0680, .programSize = 16384,  .panels = 1,  // row 58
     .eepromSize = 0,    .ramSize = 768,  .algorithm = 4, .eraseBlock = 64, .writeBuffer = 16,
     .remark = "See documentation!", .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1,
                                                     0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00}},
    {.name = "PIC18F6520",     .deviceId = 0x0B20, .programSize = 32768,  .panels = 4,  // row 59
     .eepromSize = 1024, .ramSize = 2048, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F6620",     .deviceId = 0x0660, .programSize = 65536,  .panels = 4,  // row 60
     .eepromSize = 1024, .ramSize = 3840, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F6720",     .deviceId = 0x0620, .programSize = 131072, .panels = 8,  // row 61
     .eepromSize = 1024, .ramSize = 3840, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85,
                                                     0x00, 0xFF, 0xC0, 0xFF, 0xE0, 0xFF, 0x40}},
    {.name = "PIC18F8520",     .deviceId = 0x0B00, .programSize = 32768,  .panels = 4,  // row 62
     .eepromSize = 1024, .ramSize = 2048, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x83, 0x01, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F8620",     .deviceId = 0x0640, .programSize = 65536,  .panels = 4,  // row 63
     .eepromSize = 1024, .ramSize = 3840, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x83, 0x01, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F8720",     .deviceId = 0x0600, .programSize = 131072, .panels = 8,  // row 64
     .eepromSize = 1024, .ramSize = 3840, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x83, 0x01, 0x85,
                                                     0x00, 0xFF, 0xC0, 0xFF, 0xE0, 0xFF, 0x40}},
    {.name = "PIC18F6525",     .deviceId = 0x0AE0, .programSize = 49152,  .panels = 6,  // row 65
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x00, 0x81, 0x85,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F6621",     .deviceId = 0x0AA0, .programSize = 65536,  .panels = 8,  // row 66
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x00, 0x81, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F8525",     .deviceId = 0x0AC0, .programSize = 49152,  .panels = 6,  // row 67
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x83, 0x83, 0x85,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F8621",     .deviceId = 0x0A80, .programSize = 65536,  .panels = 8,  // row 68
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x83, 0x83, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F6527",     .deviceId = 0x1340, .programSize = 49152,  .panels = 1,  // row 69
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xF5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F6622",     .deviceId = 0x1380, .programSize = 65536,  .panels = 1,  // row 70
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xF5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F6627",     .deviceId = 0x13C0, .programSize = 98304,  .panels = 1,  // row 71
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xF5,
                                                     0x00, 0x3F, 0xC0, 0x3F, 0xE0, 0x3F, 0x40}},
    {.name = "PIC18F6722",     .deviceId = 0x1400, .programSize = 131072, .panels = 1,  // row 72
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xF5,
                                                     0x00, 0xFF, 0xC0, 0xFF, 0xE0, 0xFF, 0x40}},
    {.name = "PIC18F8527",     .deviceId = 0x1360, .programSize = 49152,  .panels = 1,  // row 73
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0xF3, 0x87, 0xF5,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F8622",     .deviceId = 0x13A0, .programSize = 65536,  .panels = 1,  // row 74
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0xF3, 0x87, 0xF5,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F8627",     .deviceId = 0x13E0, .programSize = 98304,  .panels = 1,  // row 75
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0xF3, 0x87, 0xF5,
                                                     0x00, 0x3F, 0xC0, 0x3F, 0xE0, 0x3F, 0x40}},
    {.name = "PIC18F8722",     .deviceId = 0x1420, .programSize = 131072, .panels = 1,  // row 76
     .eepromSize = 1024, .ramSize = 3936, .algorithm = 2, .eraseBlock = 64, .writeBuffer = 64,
     .remark = "",                   .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0xF3, 0x87, 0xF5,
                                                     0x00, 0xFF, 0xC0, 0xFF, 0xE0, 0xFF, 0x40}},
    {.name = "PIC18F6585",     .deviceId = 0x0A60, .programSize = 49152,  .panels = 6,  // row 77
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x00, 0x81, 0x85,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F6680",     .deviceId = 0x0A20, .programSize = 65536,  .panels = 8,  // row 78
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x00, 0x81, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    {.name = "PIC18F8585",     .deviceId = 0x0A40, .programSize = 49152,  .panels = 6,  // row 79
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x83, 0x83, 0x85,
                                                     0x00, 0x07, 0xC0, 0x07, 0xE0, 0x07, 0x40}},
    {.name = "PIC18F8680",     .deviceId = 0x0A00, .programSize = 65536,  .panels = 8,  // row 80
     .eepromSize = 1024, .ramSize = 3328, .algorithm = 1, .eraseBlock = 64, .writeBuffer = 8,
     .remark = "",                   .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x83, 0x83, 0x85,
                                                     0x00, 0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40}},
    // clang-format on
};

namespace {

constexpr int32_t kRevisionBits = 0x001F;

void DescribePic18(int row, DeviceDescriptor& d) {
  const Pic18Device& device = kPic18Devices[row];
  DescribeCommonColumns(device, d);
  d.blockSize = device.programSize / device.panels;
  d.eraseBlockSize = device.eraseBlock;
  d.writeBufferSize = device.writeBuffer;
}

void StorePic18Id(int row, DeviceDescriptor& d) {
  d.deviceId[0] = static_cast<uint8_t>(kPic18Devices[row].deviceId & 0xFF);
  d.deviceId[1] = static_cast<uint8_t>(kPic18Devices[row].deviceId >> 8);
}

}  // namespace

const CatalogueTable kPic18Catalogue{
    .family = Family::kPic18,
    .deviceRows = kPic18DeviceRows,
    .name = [](int row) { return kPic18Devices[row].name; },
    .key = [](int row) { return static_cast<uint32_t>(kPic18Devices[row].deviceId); },
    .storeId = StorePic18Id,
    .describe = DescribePic18,
};

int LookupPic18Device(CMCUMemoryArchitecture& image, uint8_t devid1, uint8_t devid2) {
  const int32_t key = (devid2 * 256 + devid1) & ~kRevisionBits;
  const int row = FindCatalogueRow(kPic18Catalogue, static_cast<uint32_t>(key));
  image.deviceId[0] = devid1;
  image.deviceId[1] = devid2;
  FillDescriptor(image, kPic18Catalogue, row);
  return row;
}

}  // namespace velmora
