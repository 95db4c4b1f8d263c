/* ATmega1280: a blink loop at the start of flash and a constant table placed above 64 KB, so
 * that avr-objcopy writes extended segment address records (type 0x02) into the HEX file. */
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <stdint.h>

const uint8_t farTable[24] __attribute__((used, section(".fartable"))) = {
    'V', 'e', 'l', 'm', 'o', 'r', 'a', 0, 0x01, 0x23, 0x45, 0x67,
    0x89, 0xAB, 0xCD, 0xEF, 0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10};

int main(void) {
  DDRB = _BV(PB7);
  for (;;) {
    PORTB ^= _BV(PB7);
    for (volatile uint16_t i = 0; i < 50000; ++i) {
    }
    PORTB ^= pgm_read_byte_far(pgm_get_far_address(farTable)) & 1;
  }
}
