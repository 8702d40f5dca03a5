// The companion browser's rules (portable): which handed text is a web address it may open, how an
// open or a refusal is shown and recorded, and the short newest-first history of what it was handed.
// Any process may set the browser's address field, so everything here treats the text as hostile.
#pragma once

#include <stddef.h>

#include "common/capacities.h"

// The longest address the browser opens: what the viewer's address buffer holds.
enum { ADDRESS_MAX_CHARS = LINK_ADDRESS_CAPACITY - 1 };

// What the browser reads from its field: one character more than an address may have, so that
// over-long text is seen to be over-long rather than silently cut into an acceptable one.
enum { FIELD_TEXT_CAPACITY = ADDRESS_MAX_CHARS + 2 };

enum AddressVerdict {
    ADDRESS_OPENS,
    ADDRESS_EMPTY,         // nothing, or blanks only
    ADDRESS_TOO_LONG,      // over ADDRESS_MAX_CHARS characters as handed, blanks included
    ADDRESS_CONTROL_BYTES, // a byte under 0x20 or 0x7F anywhere; bytes from 0x80 up are code page 1252 text
    ADDRESS_NOT_WEB,       // does not start with http:// or https:// (either case)
    ADDRESS_NO_HOST,       // the scheme with no host after the "//"
    ADDRESS_SPLITS,        // a blank or double quote inside: a browser's command line would split there
};

// Judges text. Leading and trailing blanks are dropped first; on ADDRESS_OPENS, address (capacity
// cap) receives what is left, the address to open. An address that would not fit cap whole is
// refused as too long; address is left empty on every refusal.
AddressVerdict JudgeAddress(const char* text, char* address, size_t cap);

// A few words saying why an address was refused; "" for ADDRESS_OPENS.
const char* RefusalReason(AddressVerdict verdict);

// Copies text with every control byte written as '?', so that a refused text can be shown in a
// list line or written on one record line. Returns the number of characters stored.
size_t CopyShowable(char* dst, size_t cap, const char* text);

// One line of the test record: "open <address>\n" or "refused <text>\n", the text made showable.
enum { RECORD_LINE_CAPACITY = FIELD_TEXT_CAPACITY + 16 };
size_t FormatRecordLine(char* dst, size_t cap, AddressVerdict verdict, const char* text);

enum {
    HISTORY_LIMIT = 50,          // entries kept; the oldest goes first
    HISTORY_LABEL_CAPACITY = 320 // "refused: ", the longest field text and the longest reason fit
};

struct HistoryEntry {
    AddressVerdict verdict;
    // The address opened, or the refused text as handed. Over-long text is kept cut to one character
    // over the limit, so that judging an entry again refuses it again.
    char text[FIELD_TEXT_CAPACITY];
};

struct History {
    HistoryEntry entries[HISTORY_LIMIT]; // newest first
    int count;
};

// Puts an entry first, dropping the oldest when the history is full.
void AddToHistory(History* history, AddressVerdict verdict, const char* text);

// The entry at index (0 is the newest), or null outside the history.
const HistoryEntry* HistoryAt(const History* history, int index);

// The entry's line in the list: the address, or "refused: <text> (<reason>)".
size_t FormatHistoryLabel(char* dst, size_t cap, const HistoryEntry* entry);
