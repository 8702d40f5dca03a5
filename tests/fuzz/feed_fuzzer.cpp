// libFuzzer target: any bytes as a spool file, read back in text mode as the viewer's C runtime does,
// and read by the feed reader into the product list.
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <string>

#include "feed/feed_format.h"
#include "feed/product_list.h"
#include "tests/support/spool_text_mode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader never sees a 0x1A byte: the "rt" read ends the file there.
    std::string text = TextModeRead(reinterpret_cast<const char*>(data), size);
    if (text.size() > size || text.find('\x1A') != std::string::npos)
        __builtin_trap();
    FILE* spool = fmemopen(&text[0], text.size(), "r");
    if (spool == nullptr)
        return 0;
    char title[FEED_TITLE_CAPACITY];
    memset(title, 0x55, sizeof title);
    FeedOutcome outcome = ReadFeed(spool, title, sizeof title);
    fclose(spool);
    // The title is always a terminated text within its buffer, and a product list's ends in the suffix.
    size_t length = strnlen(title, sizeof title);
    if (length == sizeof title)
        __builtin_trap();
    const size_t suffix = strlen(ListTitleSuffix);
    if (outcome == FEED_PRODUCT_LIST && (length < suffix || strcmp(title + length - suffix, ListTitleSuffix) != 0))
        __builtin_trap();
    for (ProductRecord* r = ProductListHead(); r != nullptr; r = r->next) {
        if (strnlen(r->name, sizeof r->name) == sizeof r->name || strnlen(r->price, sizeof r->price) == sizeof r->price ||
            strnlen(r->webAddress, sizeof r->webAddress) == sizeof r->webAddress ||
            strnlen(r->serverPath, sizeof r->serverPath) == sizeof r->serverPath)
            __builtin_trap();
    }
    FreeProducts();
    return 0;
}
