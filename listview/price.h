// Price texts as numbers, for sorting the Price column by value. Portable.
#pragma once

// The price a text gives: digits with ',' anywhere before an optional '.', then digits only.
// Anything else (blanks, signs, currency symbols, bytes from 0x80 up, a ',' or second '.' after the
// point) makes the text no price, and the result is exactly -1.0. The empty text is 0.0.
double ParsePrice(const char* text);
