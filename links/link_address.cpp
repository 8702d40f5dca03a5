// Address formats of the browser hand-off.
#include "links/link_address.h"

#include "common/contract.h"
#include "common/text.h"

void FormatWebUrl(char* buffer, size_t capacity, const char* webAddress)
{
    FormatText(buffer, capacity, WEB_ADDRESS_FORMAT, webAddress);
}

void FormatServerPageUrl(char* buffer, size_t capacity, const char* serverAddress, const char* serverPath,
                         const char* accountId, const char* accountKey)
{
    FormatText(buffer, capacity, SERVER_PAGE_FORMAT, serverAddress, (int)FEED_PORT, serverPath, accountId,
               accountKey);
}

bool TickWaitOver(unsigned start, unsigned now, unsigned waitMs)
{
    return now - start >= waitMs; // unsigned difference: right across the wrap
}
