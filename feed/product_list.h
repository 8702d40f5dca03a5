// One product as the feed gave it, and the feed-ordered list of all products of the run.
#pragma once

#include <stddef.h>

#include "common/capacities.h"

struct ProductRecord {
    char name[PRODUCT_NAME_CAPACITY];              // product name
    char price[PRODUCT_PRICE_CAPACITY];            // price text exactly as the feed gives it
    char webAddress[PRODUCT_WEB_ADDRESS_CAPACITY]; // web address without a scheme prefix
    char serverPath[PRODUCT_SERVER_PATH_CAPACITY]; // path of the product's page on the feed server
    int status;           // status code, already adjusted by the parser
    int categoryId;       // key into the category library
    int currencyId;       // key into the country library
    ProductRecord* next;  // the following record, null in the last one
};

// The first record of the list, or null when it is empty. Readers follow next until it is null.
ProductRecord* ProductListHead();

// Appends a record holding copies of the texts (each cut to its field's capacity).
// Returns 1 when appended, 0 when no memory could be had; the list is then unchanged.
int AppendProduct(int status, const char* name, int categoryId, const char* price, int currencyId,
                  const char* webAddress, const char* serverPath);

// Frees every record and leaves the list empty.
void FreeProducts();

// Where records come from; tests replace it to see an allocation fail. Null restores malloc.
typedef void* (*ProductAllocator)(size_t size);
void SetProductAllocator(ProductAllocator allocator);
