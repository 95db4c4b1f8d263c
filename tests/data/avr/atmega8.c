/* ATmega8: greets on the UART with a text from flash and one from EEPROM, then sleeps. The fuse
 * section selects the internal 8 MHz RC oscillator; the lock bits stay open. */
#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/sleep.h>

FUSES = {.low = 0xE4, .high = 0xD9};
LOCKBITS = 0xFF;

char eepromText[] EEMEM = "from EEPROM";
const char flashText[] PROGMEM = "Velmora ATmega8: ";

static void Put(char c) {
  while (!(UCSRA & _BV(UDRE))) {
  }
  UDR = c;
}

int main(void) {
  UCSRB = _BV(TXEN);
  for (const char* s = flashText; pgm_read_byte(s); ++s) Put(pgm_read_byte(s));
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
