// The feed server's catalog: accounts and their products read from a directory of hand-edited text
// files, checked at load so that every product can be written as a line the viewer accepts.
#pragma once

#include <stddef.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/capacities.h"
#include "common/contract.h"
#include "key_verifier.h"

// Limits that come from the viewer: its fixed buffers and the line reader of its feed parser.
const char kListTitleSuffix[] = " Product's List";  // what the viewer's title adds after the caption
const size_t kFeedLineMax = FEED_READ_CHARS - 1;     // ":" to "#" of one product line; the LF is the last
const size_t kNameMax = PRODUCT_NAME_CAPACITY - 1;   // product name
const size_t kPriceMax = PRODUCT_PRICE_CAPACITY - 1; // price text
const size_t kWebAddressMax = PRODUCT_WEB_ADDRESS_CAPACITY - 1;
// The caption plus " Product's List" fills the title buffer.
const size_t kCaptionMax = FEED_TITLE_CAPACITY - (sizeof kListTitleSuffix - 1) - 1;
const size_t kAccountIdMax = ACCOUNT_ID_CAPACITY - 1;   // AccountId of the viewer's command line
const size_t kAccountKeyMax = ACCOUNT_KEY_CAPACITY - 1; // AccountKey of the viewer's command line

// Characters of a decimal number; the page address spells out the feed port.
constexpr size_t DecimalDigits(unsigned value)
{
    return value < 10 ? 1 : 1 + DecimalDigits(value / 10);
}

// "http://" address ":1360/" path "^" id "^" key must fit the viewer's page address buffer, with the
// longest dotted address (15 characters): path, id and key share what is left.
const size_t kDottedAddressMax = 15;
const size_t kPageAddressFieldsMax = (LINK_ADDRESS_CAPACITY - 1) - (sizeof "http://" - 1) - kDottedAddressMax -
                                     (1 + DecimalDigits(FEED_PORT) + 1) - 2;

// The caption is the header line, which the viewer reads whole only when it fits one read.
static_assert(kCaptionMax <= kFeedLineMax, "the caption must fit the viewer's first read");

// Status words of the catalog and the feed codes they stand for.
const int kStatusListed = 1;
const int kStatusNew = 2;
const int kStatusSale = 5;
const int kStatusSoldOut = 6;

struct CatalogProduct {
    int line = 0;             // line in the account's products file
    int status = 0;           // feed status code, as written into field 1
    std::string name;         // UTF-8, as written in the catalog
    int categoryId = 0;
    std::string price;        // UTF-8, verbatim
    int currencyId = 0;       // ISO 4217 numeric code
    std::string webAddress;   // without scheme; may be empty
    std::string serverPath;   // page path on this server; may be empty
    std::string feedLine;     // code page 1252, ":" to "#", without the line feed
};

struct CatalogAccount {
    std::string id;
    std::string key;          // the key itself, for a catalog line that holds it plain; else empty
    std::string verifier;     // the digest of a line's "hmac-sha256:" verifier (raw bytes); else empty
    std::string caption;      // UTF-8
    std::vector<CatalogProduct> products;
    std::map<std::string, size_t> byServerPath;  // serverPath -> index into products
    std::string feed;         // the whole reply: caption line, then one line per product, each ended by LF
};

// One problem found while loading; line 0 means the file as a whole.
struct CatalogError {
    std::string file;
    int line = 0;
    std::string reason;
};

struct Catalog {
    std::vector<CatalogAccount> accounts;
    std::map<std::string, size_t> byId;  // id -> index into accounts
    size_t productCount = 0;
    std::vector<CatalogError> warnings;  // what loads but is unwise, such as keys quick to guess
    size_t plainKeys = 0;                // accounts whose key is held plain rather than as a verifier
    std::shared_ptr<const KeySecret> keySecret;  // what the verifiers are checked with; null without one
};

// How strict loading is, from the command line.
struct CatalogRules {
    std::shared_ptr<const KeySecret> keySecret;  // --key-secret: needed by any verifier
    bool requireHashedKeys = false;              // --require-hashed-keys: a plain key is an error
    bool allowShortKeys = false;                 // --allow-short-keys: a short plain key only warns
};

// "file:line: reason", or "file: reason" for line 0, with every byte that could drive a terminal
// (control characters, broken UTF-8) shown as \xNN: catalog text and paths reach the operator's screen.
std::string FormatCatalogError(const CatalogError& error);

// Keys shorter than this are refused (a warning with --allow-short-keys): short keys are often words,
// which a guesser tries first, and many addresses guess together.
const size_t kAccountKeyAdvisedMin = 8;

// Reads dir/accounts.txt and dir/products/<id>.txt for every account. Every problem found is appended
// to errors (at most kCatalogErrorsMax of them); the result is true only when there was none. Only
// regular files are read: a FIFO, a device or a directory in their place is an error, found before
// anything is read from it. Category ids and currency codes must be in the built-in tables.
const size_t kCatalogErrorsMax = 100;
// A plain key is checked against the rules here; a key field that is a verifier needs rules.keySecret.
// Plain keys draw one warning per catalog naming how many there are. No message ever quotes a key.
bool LoadCatalog(const std::string& dir, Catalog* catalog, std::vector<CatalogError>* errors,
                 const CatalogRules& rules = CatalogRules());

// True when the key given is the account's, in a time that does not depend on where they differ.
// For no account (an unknown id) false, after hashing the key all the same when the catalog holds
// verifiers: an unknown id and a wrong key then take the same time.
bool KeyMatches(const Catalog& catalog, const CatalogAccount* account, const std::string& given);

// The reason a key is unfit for the catalog ("" when it is fit), without quoting it: the characters,
// the length, and below kAccountKeyAdvisedMin unless short keys are allowed.
std::string CheckKeyText(const std::string& key, bool allowShort);

// True for an account id that Windows would take as a device when it names the products file
// (CON, PRN, AUX, NUL, COM0-COM9, LPT0-LPT9, also followed by an extension), in any case.
bool NamesWindowsDevice(const std::string& id);

// The account of that exact id, or null.
const CatalogAccount* FindAccount(const Catalog& catalog, const std::string& id);

// Status group of a feed code as the viewer shows it: the viewer takes 8 off codes over 6 and then
// looks at the lowest three bits. Returns kStatusNew, kStatusSale, kStatusSoldOut or kStatusListed.
int StatusGroup(int status);

// The group's word: "new", "sale", "sold out" or "listed".
const char* StatusGroupName(int group);
