// Text conversions of the feed server: catalog UTF-8 to the viewer's code page 1252, HTML escaping,
// percent-decoding of page requests, and log-safe copies of untrusted request text.
#pragma once

#include <stddef.h>
#include <string>

// Converts UTF-8 text to Windows code page 1252. Returns true on success. On failure returns false
// and puts into *why a short reason (invalid UTF-8, or a character the code page lacks) naming the
// 1-based byte column of the offending character in the input.
bool Utf8ToCp1252(const std::string& utf8, std::string* cp1252, std::string* why);

// Converts code page 1252 text (the lookup tables' names) to UTF-8 for the pages; the five bytes the
// code page leaves unused become U+FFFD.
std::string Cp1252ToUtf8(const std::string& cp1252);

// True when the byte is a control character in code page 1252 terms (0x00-0x1F, 0x7F); the C1 range
// 0x80-0x9F never reaches here because the conversion maps those bytes to printable characters.
bool IsControlByte(unsigned char byte);

// Escapes &, <, > and " for use in HTML text and in double-quoted attribute values.
std::string EscapeHtml(const std::string& text);

// Decodes %XX escapes. Returns false for a malformed escape ("%", "%4", "%zz") or an escape that
// decodes to a control byte; *decoded must then not be used.
bool PercentDecode(const std::string& text, std::string* decoded);

// A copy for a log line: printable ASCII other than blanks and backslashes kept, every other byte as
// \xNN, cut after max bytes of input with "..." appended; "-" for an empty text.
std::string LogSafe(const char* data, size_t size, size_t max);

// A copy of any text for a message on the terminal: printable ASCII and whole UTF-8 characters from
// U+00A0 up are kept (so names and Windows paths read as written), every other byte, control
// characters and C1 codes and broken UTF-8 alike, becomes \xNN, so no text can drive the terminal.
std::string TerminalSafe(const std::string& text);

// A whole decimal option value within [low, high]; false for anything else (sign-only, trailing text).
bool ParseNumber(const char* text, long low, long high, long* value);
