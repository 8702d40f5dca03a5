// The feed server's two requests, told apart by their first bytes: the viewer's "VNP," feed request and
// a browser's "GET" (or "HEAD") for a product page. Pure functions over bytes and the loaded catalog: no sockets.
#pragma once

#include <stddef.h>
#include <time.h>

#include <memory>
#include <string>
#include <unordered_map>

#include "feed_catalog.h"
#include "feed_guard.h"

// The viewer's request line is at most 57 bytes and a page address at most 255 characters; these
// limits leave room for browsers' header fields while keeping every connection's buffer small.
const size_t kRequestLineMax = 1024;  // the first line, its LF included
const size_t kRequestMax = 8192;      // a page request's line and header fields

// The whole reply of a refused feed request: the viewer shows "No Data" for it.
extern const char kNoDataReply[];

enum RequestState { kRequestPartial, kRequestComplete, kRequestTooLong };

// How far the search for a request's end has come in the bytes received so far, so that each read
// looks only at what is new (and the byte or two before it that a line end may span).
struct RequestScan {
    size_t lineEnd = 0;     // just past the first line's LF; 0 while it has not come
    bool headers = false;   // a page request with a version: header fields follow the line
    size_t searchFrom = 0;  // where the next search begins: for the first LF, then for the empty line
};

// Whether the bytes received so far make a whole request. A feed request (and anything that is not a
// page request) ends at its first LF; a page request ends with the empty line after its header fields,
// or at its first LF when it has no HTTP version (nothing follows such a line). The bytes must be the
// ones of the earlier calls with more added at the end; a fresh scan starts from the first byte.
RequestState ScanRequest(RequestScan* scan, const char* data, size_t size);

// The same for a whole buffer at once.
RequestState CheckRequest(const char* data, size_t size);

enum RequestKind { kKindFeed, kKindPage, kKindHealth, kKindMetrics, kKindOther };

struct Reply {
    RequestKind kind = kKindOther;
    std::string account;                // account id as the request named it, raw bytes; empty if none
    const char* result = "unknown";     // for the log: ok, unknown-account, wrong-key, malformed, ...
    bool keyChecked = false;            // an id and key were checked (a match or not)
    bool keyCheckFailed = false;        // an id and key were checked and did not match: a guess
    bool head = false;                  // HEAD: the header alone
    int httpStatus = 0;                 // page replies only
    const std::string* feed = nullptr;  // an account's feed, owned by the catalog; else text is sent
    std::string text;                   // reply bytes when feed is null; empty: close without a reply
};

// Product pages as rendered, kept for the next request of the same page: rendering is most of what a
// page request costs the server itself. It holds the pages of one catalog, which it keeps alive (so
// that no product of another can ever take a page's place); past kPageCacheBytesMax, pages are
// rendered for each request.
struct PageCache {
    std::shared_ptr<const Catalog> catalog;
    std::unordered_map<const CatalogProduct*, std::string> pages;
    size_t bytes = 0;
};
const size_t kPageCacheBytesMax = 8 * 1024 * 1024;

// What an answer depends on besides the request and the catalog.
struct AnswerContext {
    int lockedSeconds = 0;  // the client's address is locked out of key checks this long yet (rounded up)
    const AccountGuard* accounts = nullptr;  // per-account holds on key checks; null: none
    long long nowMs = 0;                     // the steady clock, for the per-account holds
    time_t now = 0;         // for the Date header
    bool draining = false;  // the server takes no more connections: the health check says so
    PageCache* pages = nullptr;  // rendered pages of this catalog; null: each is rendered anew
    bool metricsAllowed = false; // the client may ask for /metrics (--metrics-from); else it is a 404
};

// Answers a request that CheckRequest found complete or too long. Nothing in a request ever names a
// file: accounts, products and pages all come from the catalog loaded at start. While the client's
// address, or the account named, is locked out of key checks, no key is checked at all: a feed request
// gets the no-data reply and a page 429, both logged as throttled. HEAD gets what GET would, without the body.
Reply AnswerRequest(const Catalog& catalog, const char* data, size_t size, RequestState state,
                    const AnswerContext& context = AnswerContext());

// The Date header's form of a time: "Tue, 15 Nov 1994 08:12:31 GMT".
std::string HttpDate(time_t when);

// A metrics request (kind kKindMetrics) comes out of AnswerRequest without its text: the server writes
// the body, and this makes the response (200, the exposition format's content type; the header alone
// for HEAD).
void SetMetricsReply(Reply* reply, const std::string& body, time_t now);

// Turns an answer into the refusal of a client that already has too many long replies under way: a
// feed gets the no-data reply, a page 503 with Retry-After; logged as busy. Nothing else changes.
void RefuseAsBusy(Reply* reply, time_t now);

const char* ReplyData(const Reply& reply);
size_t ReplySize(const Reply& reply);

// The kind that a request's first bytes announce, for the log of a request that never became whole.
RequestKind KindOfStart(const char* data, size_t size);

// "feed", "page", "health", "metrics" or "other".
const char* KindName(RequestKind kind);

// The HTML page of one product (UTF-8), without the HTTP header.
std::string RenderProductPage(const CatalogAccount& account, const CatalogProduct& product);
