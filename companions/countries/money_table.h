// The currency table inside Vn_Countries.dll and the feed server, defined by the source generated from
// iso_4217.json, and the one search by numeric code over it.
#pragma once

struct MoneyRecord {
    int numeric;       // ISO 4217 numeric code
    const char* code;  // ISO 4217 alphabetic code
    const char* name;  // code page 1252
};

// Sorted by ascending numeric code, each code once.
extern const MoneyRecord kMoneyRecords[];
extern const int kMoneyRecordCount;

// The record of an ISO 4217 numeric code, or null when the table has none.
const MoneyRecord* MoneyRecordOf(int numeric);
