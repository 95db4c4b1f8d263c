/* ATmega2560: a text placed above 64 KB (read with the far program memory access) and one from
 * EEPROM on the UART, then sleep. The fuses select the internal RC oscillator without the
 * divider and switch JTAG off. */
#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>

FUSES = {.low = 0xE2, .high = 0xD9, .extended = 0xFD};
LOCKBITS = 0xFF;

char eepromText[] EEMEM = "EEPROM of the 2560";
const char farText[] __attribute__((used, section(".fartext"))) = "Velmora ATmega2560 above 64K: ";

static void Put(char c) {
  while (!(UCSR0A & _BV(UDRE0))) {
  }
  UDR0 = c;
}

int main(void) {
  UCSR0B = _BV(TXEN0);
  const uint_farptr_t text = pgm_get_far_address(farText);
  for (uint32_t i = 0; pgm_read_byte_far(text + i); ++i) Put(pgm_read_byte_far(text + i));
  for (uint8_t i = 0; i < sizeof eepromText; ++i) {
    const char c = eeprom_read_byte((const uint8_t*)&eepromText[i]);
    if (!c) break;
    Put(c);
  }
  Put('\n');
  cli();
  sleep_mode();
  return 0;
}
