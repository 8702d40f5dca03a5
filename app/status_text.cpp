// Wording of the status line.
#include "app/status_text.h"

#include "common/text.h"

// A count with its thousands grouped by commas, as "1,234,567".
static void GroupDigits(char* text, size_t capacity, long long value)
{
    char digits[32];
    size_t count = FormatText(digits, sizeof digits, "%lld", value < 0 ? 0 : value);
    char grouped[48];
    size_t length = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i > 0 && (count - i) % 3 == 0)
            grouped[length++] = ',';
        grouped[length++] = digits[i];
    }
    grouped[length] = '\0';
    CopyText(text, capacity, grouped);
}

// The reason after the count, empty for a whole reply.
static void FormatReason(char* text, size_t capacity, const StatusFacts& facts)
{
    char number[48];
    const char* unable = "the feed could not be fetched";
    switch (facts.end) {
    case FETCH_WHOLE:
        CopyText(text, capacity, "");
        break;
    case FETCH_CUT:
        CopyText(text, capacity, "incomplete: the server cut the reply");
        break;
    case FETCH_SILENT:
        FormatText(text, capacity, "incomplete: the server was silent for %d s", facts.silenceMs / 1000);
        break;
    case FETCH_TOO_LARGE:
        GroupDigits(number, sizeof number, facts.maxBytes);
        FormatText(text, capacity, "incomplete: the reply is larger than %s bytes", number);
        break;
    case FETCH_TOO_SLOW:
        FormatText(text, capacity, "incomplete: the reply took longer than %d s", facts.deadlineMs / 1000);
        break;
    case FETCH_TOO_MANY:
        GroupDigits(number, sizeof number, facts.productCap);
        FormatText(text, capacity, "incomplete: the reply holds more than %s products", number);
        break;
    case FETCH_NO_SPOOL:
        FormatText(text, capacity, "%s: no folder would take the spool file", unable);
        break;
    case FETCH_NO_NETWORK:
        FormatText(text, capacity, "%s: no network", unable);
        break;
    case FETCH_REFUSED:
        FormatText(text, capacity, "%s: %s refused the connection", unable, facts.server);
        break;
    case FETCH_NO_ANSWER:
        FormatText(text, capacity, "%s: no answer from %s in %d s", unable, facts.server, facts.connectMs / 1000);
        break;
    case FETCH_NOT_SENT:
        FormatText(text, capacity, "%s: the request could not be sent to %s", unable, facts.server);
        break;
    }
}

size_t FormatStatusText(char* text, size_t capacity, const StatusFacts& facts)
{
    char count[64];
    if (facts.shown == 0) {
        CopyText(count, sizeof count, "No products");
    } else {
        char number[48];
        GroupDigits(number, sizeof number, facts.shown);
        FormatText(count, sizeof count, "%s %s", number, facts.shown == 1 ? "product" : "products");
    }
    char reason[STATUS_TEXT_CAPACITY];
    FormatReason(reason, sizeof reason, facts);
    if (reason[0] == '\0')
        return CopyText(text, capacity, count);
    return FormatText(text, capacity, "%s; %s", count, reason);
}
