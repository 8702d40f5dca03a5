// The product list: records in feed order, each its own allocation, owned by the list.
#include "feed/product_list.h"

#include <stdlib.h>

#include "common/text.h"

// First and last record. The tail is private so that n appends cost O(n), not a walk per append.
static ProductRecord* listHead = nullptr;
static ProductRecord* listTail = nullptr;
static ProductAllocator allocateRecord = malloc;

ProductRecord* ProductListHead()
{
    return listHead;
}

int AppendProduct(int status, const char* name, int categoryId, const char* price, int currencyId,
                  const char* webAddress, const char* serverPath)
{
    ProductRecord* record = (ProductRecord*)allocateRecord(sizeof(ProductRecord));
    if (record == nullptr)
        return 0;
    record->status = status;
    CopyText(record->name, Capacity(record->name), name);
    record->categoryId = categoryId;
    CopyText(record->price, Capacity(record->price), price);
    record->currencyId = currencyId;
    CopyText(record->webAddress, Capacity(record->webAddress), webAddress);
    CopyText(record->serverPath, Capacity(record->serverPath), serverPath);
    record->next = nullptr;
    if (listHead == nullptr)
        listHead = record;
    else
        listTail->next = record;
    listTail = record;
    return 1;
}

void FreeProducts()
{
    ProductRecord* record = listHead;
    while (record != nullptr) {
        ProductRecord* following = record->next;
        free(record);
        record = following;
    }
    listHead = nullptr;
    listTail = nullptr;
}

void SetProductAllocator(ProductAllocator allocator)
{
    allocateRecord = allocator != nullptr ? allocator : malloc;
}
