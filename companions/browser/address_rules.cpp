// The address rule, record lines and history bookkeeping of the companion browser.
#include "companions/browser/address_rules.h"

#include <string.h>

#include "common/text.h"

// Bytes are judged unsigned: code page 1252 letters from 0x80 up are text, not control bytes.
static bool IsControlByte(unsigned char c)
{
    return c < 0x20 || c == 0x7F;
}

static char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c - 'A' + 'a') : c;
}

// Whether text starts with prefix, ASCII letters compared without regard to case.
static bool StartsWithNoCase(const char* text, size_t length, const char* prefix)
{
    size_t n = strlen(prefix);
    if (length < n)
        return false;
    for (size_t i = 0; i < n; ++i)
        if (LowerAscii(text[i]) != prefix[i])
            return false;
    return true;
}

// The schemes the browser hands on; nothing else may reach the shell.
static const char* const WebSchemes[] = { "http://", "https://" };

static size_t WebSchemeLength(const char* text, size_t length)
{
    for (const char* scheme : WebSchemes)
        if (StartsWithNoCase(text, length, scheme))
            return strlen(scheme);
    return 0;
}

static AddressVerdict JudgeTrimmed(const char* text, size_t length)
{
    if (length == 0)
        return ADDRESS_EMPTY;
    for (size_t i = 0; i < length; ++i)
        if (IsControlByte((unsigned char)text[i]))
            return ADDRESS_CONTROL_BYTES;
    size_t scheme = WebSchemeLength(text, length);
    if (scheme == 0)
        return ADDRESS_NOT_WEB;
    // The host runs up to the first '/', '?' or '#'; "http://" alone or "http:///x" names none.
    if (scheme == length || strchr("/?#", text[scheme]) != nullptr)
        return ADDRESS_NO_HOST;
    for (size_t i = 0; i < length; ++i)
        if (text[i] == ' ' || text[i] == '"')
            return ADDRESS_SPLITS;
    return ADDRESS_OPENS;
}

AddressVerdict JudgeAddress(const char* text, char* address, size_t cap)
{
    if (cap > 0)
        address[0] = '\0';
    size_t length = strlen(text);
    if (length > ADDRESS_MAX_CHARS)
        return ADDRESS_TOO_LONG;
    while (length > 0 && text[0] == ' ') {
        ++text;
        --length;
    }
    while (length > 0 && text[length - 1] == ' ')
        --length;
    AddressVerdict verdict = JudgeTrimmed(text, length);
    if (verdict != ADDRESS_OPENS)
        return verdict;
    if (length >= cap)
        return ADDRESS_TOO_LONG;
    CopyTextN(address, cap, text, length);
    return ADDRESS_OPENS;
}

struct Refusal {
    AddressVerdict verdict;
    const char* reason;
};
static const Refusal Refusals[] = {
    { ADDRESS_EMPTY, "empty" },
    { ADDRESS_TOO_LONG, "too long" },
    { ADDRESS_CONTROL_BYTES, "control characters" },
    { ADDRESS_NOT_WEB, "not http or https" },
    { ADDRESS_NO_HOST, "no host" },
    { ADDRESS_SPLITS, "blank or quote inside" },
};

const char* RefusalReason(AddressVerdict verdict)
{
    for (const Refusal& refusal : Refusals)
        if (refusal.verdict == verdict)
            return refusal.reason;
    return "";
}

size_t CopyShowable(char* dst, size_t cap, const char* text)
{
    size_t n = CopyText(dst, cap, text);
    for (size_t i = 0; i < n; ++i)
        if (IsControlByte((unsigned char)dst[i]))
            dst[i] = '?';
    return n;
}

size_t FormatRecordLine(char* dst, size_t cap, AddressVerdict verdict, const char* text)
{
    char shown[FIELD_TEXT_CAPACITY];
    CopyShowable(shown, sizeof shown, text);
    return FormatText(dst, cap, "%s %s\n", verdict == ADDRESS_OPENS ? "open" : "refused", shown);
}

void AddToHistory(History* history, AddressVerdict verdict, const char* text)
{
    int kept = history->count < HISTORY_LIMIT ? history->count : HISTORY_LIMIT - 1;
    memmove(&history->entries[1], &history->entries[0], (size_t)kept * sizeof history->entries[0]);
    history->entries[0].verdict = verdict;
    CopyText(history->entries[0].text, sizeof history->entries[0].text, text);
    history->count = kept + 1;
}

const HistoryEntry* HistoryAt(const History* history, int index)
{
    if (index < 0 || index >= history->count)
        return nullptr;
    return &history->entries[index];
}

size_t FormatHistoryLabel(char* dst, size_t cap, const HistoryEntry* entry)
{
    char shown[FIELD_TEXT_CAPACITY];
    CopyShowable(shown, sizeof shown, entry->text);
    if (entry->verdict == ADDRESS_OPENS)
        return CopyText(dst, cap, shown);
    return FormatText(dst, cap, "refused: %s (%s)", shown, RefusalReason(entry->verdict));
}
