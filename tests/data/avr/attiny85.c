/* ATtiny85: blinks PB0 as often as the EEPROM's first byte says, then sleeps. The fuses run it
 * from the internal 8 MHz RC oscillator without the divider. */
#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/sleep.h>

FUSES = {.low = 0xE2, .high = 0xDF, .extended = 0xFF};
LOCKBITS = 0xFF;

uint8_t blinkCount EEMEM = 5;

int main(void) {
  DDRB = _BV(PB0);
  const uint8_t count = eeprom_read_byte(&blinkCount);
  for (uint8_t i = 0; i < count; ++i) {
    PORTB ^= _BV(PB0);
    for (volatile uint16_t d = 0; d < 1000; ++d) {
    }
    PORTB ^= _BV(PB0);
  }
  cli();
  sleep_mode();
  return 0;
}
