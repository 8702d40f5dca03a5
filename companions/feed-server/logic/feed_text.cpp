// Text conversions of the feed server: strict UTF-8 decoding into code page 1252, HTML escaping,
// percent-decoding and log-safe copies.
#include "feed_text.h"

#include <stdio.h>
#include <stdlib.h>

namespace {

// Code points of bytes 0x80-0x9F in code page 1252; 0 marks the five bytes the code page leaves unused.
const unsigned kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// The code page 1252 byte of a code point, or -1 when the code page has no such character.
int Cp1252Byte(unsigned cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return (int)cp;
    for (int i = 0; i < 32; ++i)
        if (kCp1252High[i] != 0 && kCp1252High[i] == cp)
            return 0x80 + i;
    return -1;
}

std::string Column(const char* what, size_t index)
{
    char text[80];
    snprintf(text, sizeof text, "%s at column %zu", what, index + 1);
    return text;
}

// The length of the well-formed UTF-8 character at text[i] (1 to 4) with its code point, or 0 for a
// byte that does not start one: overlong forms, surrogates and code points past U+10FFFF included.
size_t DecodeUtf8(const std::string& text, size_t i, unsigned* codePoint)
{
    const unsigned char lead = (unsigned char)text[i];
    unsigned cp = 0;
    size_t length = 0;
    unsigned minimum = 0;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        cp = lead & 0x1F;
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        cp = lead & 0x0F;
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        cp = lead & 0x07;
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size())
        return 0;
    for (size_t k = 1; k < length; ++k) {
        const unsigned char next = (unsigned char)text[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    *codePoint = cp;
    return length;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool Utf8ToCp1252(const std::string& utf8, std::string* cp1252, std::string* why)
{
    cp1252->clear();
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned cp = 0;
        const size_t length = DecodeUtf8(utf8, i, &cp);
        if (length == 0) {
            *why = Column("invalid UTF-8", i);
            return false;
        }
        const int byte = Cp1252Byte(cp);
        if (byte < 0) {
            char text[96];
            snprintf(text, sizeof text, "character U+%04X at column %zu is not in code page 1252", cp, i + 1);
            *why = text;
            return false;
        }
        cp1252->push_back((char)byte);
        i += length;
    }
    return true;
}

std::string Cp1252ToUtf8(const std::string& cp1252)
{
    std::string out;
    out.reserve(cp1252.size() + 8);
    for (unsigned char c : cp1252) {
        unsigned cp = c;
        if (c >= 0x80 && c < 0xA0)
            cp = kCp1252High[c - 0x80] != 0 ? kCp1252High[c - 0x80] : 0xFFFD;
        if (cp < 0x80) {
            out += (char)cp;
        } else if (cp < 0x800) {
            out += (char)(0xC0 | (cp >> 6));
            out += (char)(0x80 | (cp & 0x3F));
        } else {
            out += (char)(0xE0 | (cp >> 12));
            out += (char)(0x80 | ((cp >> 6) & 0x3F));
            out += (char)(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

bool IsControlByte(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

std::string EscapeHtml(const std::string& text)
{
    std::string out;
    out.reserve(text.size() + 16);
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

bool PercentDecode(const std::string& text, std::string* decoded)
{
    decoded->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size())
                return false;
            const int high = HexValue(text[i + 1]);
            const int low = HexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return false;
            c = (char)(high * 16 + low);
            i += 2;
        }
        if (IsControlByte((unsigned char)c))
            return false;
        decoded->push_back(c);
    }
    return true;
}

std::string LogSafe(const char* data, size_t size, size_t max)
{
    if (size == 0)
        return "-";
    std::string out;
    const size_t shown = size < max ? size : max;
    for (size_t i = 0; i < shown; ++i) {
        const unsigned char c = (unsigned char)data[i];
        if (c > 0x20 && c < 0x7F && c != '\\') {
            out += (char)c;
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    if (shown < size)
        out += "...";
    return out;
}

std::string TerminalSafe(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        unsigned cp = 0;
        const size_t length = DecodeUtf8(text, i, &cp);
        if (length > 0 && ((cp >= 0x20 && cp < 0x7F) || cp >= 0xA0)) {
            out.append(text, i, length);
            i += length;
            continue;
        }
        char hex[8];
        snprintf(hex, sizeof hex, "\\x%02X", (unsigned char)text[i]);
        out += hex;
        ++i;
    }
    return out;
}

bool ParseNumber(const char* text, long low, long high, long* value)
{
    char* end = nullptr;
    const long v = strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < low || v > high)
        return false;
    *value = v;
    return true;
}
