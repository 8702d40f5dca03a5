// The feed's text format: the header line, product lines, and reading a whole spool file.
// Portable (standard C library only), so it is tested and fuzzed natively as well.
#pragma once

#include <stddef.h>
#include <stdio.h>

#include "common/capacities.h"
#include "common/contract.h"


extern const char NoDataTitle[];     // "  No Data"
extern const char ListTitleSuffix[]; // " Product's List"

// One product as a product line gives it, fields already converted and cut to capacity.
struct FeedProduct {
    int status; // adjusted by AdjustStatus
    char name[PRODUCT_NAME_CAPACITY];
    int categoryId;
    char price[PRODUCT_PRICE_CAPACITY];
    int currencyId;
    char webAddress[256];
    char serverPath[256];
};

// Decimal conversion by the usual string-to-integer rules (leading white space, optional sign,
// digits up to the first other character, 0 without digits), saturating instead of overflowing.
int ParseDecimal(const char* text);

// True when the header line, its last character already dropped, marks a reply without data:
// its first ten characters are "<body><h1>" in any letter case.
bool IsNoDataHeader(const char* header);

// The window title for a caption: the caption, cut when it must be, and " Product's List".
void MakeListTitle(char* title, size_t capacity, const char* caption);

// Judges one line (its last character already dropped) and, for a product line, fills product.
// A product line starts with ':', ends with '#' and holds exactly ten '^'.
bool ParseProductLine(const char* line, FeedProduct* product);

// FEED_TOO_MANY_PRODUCTS: a product list whose reading stopped at the product cap.
enum FeedOutcome { FEED_NO_DATA, FEED_PRODUCT_LIST, FEED_TOO_MANY_PRODUCTS };

// The most products one feed gives the list. A hostile feed of short lines could otherwise fill the
// address space with records; a million rows still fit a large-address-aware 32-bit viewer.
enum { PRODUCT_CAP = 1000000 };

// The cap in force; tests lower it. Zero restores PRODUCT_CAP.
size_t ProductCap();
void SetProductCap(size_t cap);

// Reads a spool file from its start: the header decides the outcome and gives the title; every
// product line of a product list is appended to the product list, in feed order, up to the cap.
// An empty file counts as a reply without data.
FeedOutcome ReadFeed(FILE* spool, char* title, size_t titleCapacity);
