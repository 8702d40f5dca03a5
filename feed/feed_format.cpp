// Header test, product line splitting and the spool file reader of the feed.
#include "feed/feed_format.h"

#include <limits.h>
#include <string.h>

#include "common/text.h"
#include "feed/product_list.h"

const char NoDataTitle[] = "  No Data";
const char ListTitleSuffix[] = " Product's List";

static size_t productCap = PRODUCT_CAP; // the cap in force

size_t ProductCap()
{
    return productCap;
}

void SetProductCap(size_t cap)
{
    productCap = cap != 0 ? cap : (size_t)PRODUCT_CAP;
}

static bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int ParseDecimal(const char* text)
{
    while (IsBlank(*text))
        ++text;
    bool negative = false;
    if (*text == '+' || *text == '-')
        negative = *text++ == '-';
    long long value = 0;
    for (; *text >= '0' && *text <= '9'; ++text) {
        value = value * 10 + (*text - '0');
        if (value > (long long)INT_MAX + 1)
            value = (long long)INT_MAX + 1; // saturate; further digits cannot bring it back
    }
    if (negative)
        return (int)-value; // INT_MAX + 1 negated is INT_MIN
    return value > INT_MAX ? INT_MAX : (int)value;
}

bool IsNoDataHeader(const char* header)
{
    static const char mark[] = FEED_NO_DATA_MARK;
    for (size_t i = 0; i < sizeof mark - 1; ++i) {
        char c = header[i];
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
        if (c != mark[i])
            return false; // also ends at a header shorter than the mark
    }
    return true;
}

void MakeListTitle(char* title, size_t capacity, const char* caption)
{
    const size_t suffix = sizeof ListTitleSuffix - 1;
    if (capacity <= suffix) {
        CopyText(title, capacity, ListTitleSuffix);
        return;
    }
    size_t kept = CopyText(title, capacity - suffix, caption);
    CopyText(title + kept, capacity - kept, ListTitleSuffix);
}

// Drops the last character of what fgets read: normally the line feed, whatever it is.
static void DropLastCharacter(char* line)
{
    size_t length = strlen(line);
    if (length > 0)
        line[length - 1] = '\0';
}

bool ParseProductLine(const char* line, FeedProduct* product)
{
    size_t length = strlen(line);
    if (length == 0 || line[0] != ':' || line[length - 1] != '#')
        return false;
    int carets = 0;
    for (size_t i = 0; i < length; ++i)
        carets += line[i] == '^';
    if (carets != 10)
        return false;

    // Fields 1 to 7 each end at a '^'; fields 8 to 11 are not used. Numbers are converted from the
    // whole field, texts are cut to their capacity.
    const char* field[7];
    size_t fieldLength[7];
    const char* cursor = line + 1;
    for (int i = 0; i < 7; ++i) {
        const char* end = strchr(cursor, '^');
        field[i] = cursor;
        fieldLength[i] = (size_t)(end - cursor);
        cursor = end + 1;
    }
    char number[FEED_TITLE_CAPACITY];
    CopyTextN(number, sizeof number, field[0], fieldLength[0]);
    product->status = AdjustStatus(ParseDecimal(number));
    CopyTextN(product->name, sizeof product->name, field[1], fieldLength[1]);
    CopyTextN(number, sizeof number, field[2], fieldLength[2]);
    product->categoryId = ParseDecimal(number);
    CopyTextN(product->price, sizeof product->price, field[3], fieldLength[3]);
    CopyTextN(number, sizeof number, field[4], fieldLength[4]);
    product->currencyId = ParseDecimal(number);
    CopyTextN(product->webAddress, sizeof product->webAddress, field[5], fieldLength[5]);
    CopyTextN(product->serverPath, sizeof product->serverPath, field[6], fieldLength[6]);
    return true;
}

FeedOutcome ReadFeed(FILE* spool, char* title, size_t titleCapacity)
{
    char line[FEED_READ_CHARS + 1];
    if (fgets(line, sizeof line, spool) == nullptr) {
        CopyText(title, titleCapacity, NoDataTitle);
        return FEED_NO_DATA;
    }
    DropLastCharacter(line);
    if (IsNoDataHeader(line)) {
        CopyText(title, titleCapacity, NoDataTitle);
        return FEED_NO_DATA;
    }
    MakeListTitle(title, titleCapacity, line);

    FeedProduct product;
    size_t products = 0;
    while (fgets(line, sizeof line, spool) != nullptr) {
        DropLastCharacter(line);
        if (!ParseProductLine(line, &product))
            continue;
        if (products++ == productCap)
            return FEED_TOO_MANY_PRODUCTS;
        // A record that cannot be allocated is simply missing; the feed goes on.
        AppendProduct(product.status, product.name, product.categoryId, product.price, product.currencyId,
                      product.webAddress, product.serverPath);
    }
    return FEED_PRODUCT_LIST;
}
