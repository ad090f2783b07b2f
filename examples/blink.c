// SPDX-License-Identifier: GPL-3.0-or-later
/* Blinks an LED on P1.0 of an AT89C51: half a second on, half a second off
 * with a 12 MHz crystal.
 *
 * Wire the LED with a resistor of about 330 ohm from VCC to P1.0: a port 1
 * pin sinks several milliamperes when low but sources only tens of
 * microamperes through its internal pull-up, so the LED lights while P1.0 is
 * low.
 *
 * The delay is a counted loop rather than a timer so that the program shows
 * the bare core at work; its length follows from the cycles of the loop
 * below, one machine cycle being 12 clock periods (1 us at 12 MHz). */
#include <8051.h>

#define LED P1_0

/* One millisecond per count at 12 MHz, as sdcc 4.2 compiles it: the inner
 * loop (two NOPs and a DJNZ, 4 machine cycles) runs 246 times, and the outer
 * loop adds 14 cycles, 998 cycles in all. */
static void delay_ms(unsigned int ms) {
    while (ms--) {
        unsigned char n = 246;
        do {
            __asm__("nop");
            __asm__("nop");
        } while (--n);
    }
}

void main(void) {
    for (;;) {
        LED = 0; /* on */
        delay_ms(500);
        LED = 1; /* off */
        delay_ms(500);
    }
}
