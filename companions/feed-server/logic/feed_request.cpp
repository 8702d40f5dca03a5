// Classifying and answering the feed server's requests: the feed for "VNP,<id>^<key>", a product page
// for "GET /<serverPath>^<id>^<key> HTTP/1.x", the health check, and the refusals of them all.
#include "feed_request.h"

#include <string.h>

#include <algorithm>

#include "common/contract.h"
#include "common/text.h"
#include "feed_names.h"
#include "feed_text.h"

const char kNoDataReply[] = FEED_NO_DATA_MARK "No data</h1></body>\n";

namespace {

// Where an operator's scraper asks for the metrics.
const char kMetricsPath[] = "/metrics";

const char kFeedPrefix[] = FEED_REQUEST_PREFIX;
const char kPagePrefix[] = "GET ";
const char kHeadPrefix[] = "HEAD ";

bool StartsWith(const char* data, size_t size, const char* prefix)
{
    const size_t n = strlen(prefix);
    return size >= n && memcmp(data, prefix, n) == 0;
}

// GET and HEAD: the methods a page is served for, both read up to the end of their header fields.
bool IsPageMethod(const char* data, size_t size)
{
    return StartsWith(data, size, kPagePrefix) || StartsWith(data, size, kHeadPrefix);
}

// The first line without its LF and a CR before it; the whole data when no LF came.
std::string FirstLine(const char* data, size_t size)
{
    const void* lf = memchr(data, '\n', size);
    size_t length = lf == nullptr ? size : (size_t)((const char*)lf - data);
    if (length > 0 && data[length - 1] == '\r')
        --length;
    return std::string(data, length);
}

const char* StatusText(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 414: return "URI Too Long";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
    }
}

std::string HttpResponse(int status, const std::string& body, const char* extraHeader, time_t now,
                         const char* type = "text/html; charset=utf-8")
{
    // The date's text changes once a second; a busy server makes it once for many answers.
    static thread_local time_t dateTime = -1;
    static thread_local std::string date;
    if (now != dateTime) {
        dateTime = now;
        date = HttpDate(now);
    }
    std::string response;
    response.reserve(320 + body.size());
    response += "HTTP/1.0 ";
    response += std::to_string(status);
    response += ' ';
    response += StatusText(status);
    response += "\r\nDate: ";
    response += date;
    response += "\r\nContent-Type: ";
    response += type;
    response += "\r\nContent-Length: ";
    response += std::to_string(body.size());
    // The address holds the account key: keep the page out of shared caches, and the address out of
    // the Referer header of whatever the page links to.
    response += "\r\nCache-Control: no-store\r\nReferrer-Policy: no-referrer\r\n";
    if (extraHeader != nullptr)
        response += extraHeader;
    response += "Connection: close\r\n\r\n";
    response += body;
    return response;
}

std::string ErrorPage(int status, const char* message)
{
    const std::string title = std::to_string(status) + " " + StatusText(status);
    return "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
           "</title>\n</head>\n<body>\n<h1>" + StatusText(status) + "</h1>\n<p>" + message +
           "</p>\n</body>\n</html>\n";
}

void SetPageError(Reply* reply, time_t now, int status, const char* result, const char* message,
                  const char* extraHeader = nullptr)
{
    reply->httpStatus = status;
    reply->result = result;
    reply->text = HttpResponse(status, ErrorPage(status, message), status == 405 ? "Allow: GET, HEAD\r\n" : extraHeader, now);
}

// Seconds (rounded up) the client must still wait before a key of this account is checked: the longer
// of its address's lockout and the account's hold.
int LockedSeconds(const Catalog& catalog, const AnswerContext& context, const std::string& id)
{
    long long accountMs = 0;
    if (context.accounts != nullptr)
        accountMs = AccountLockRemaining(*context.accounts, id, FindAccount(catalog, id) != nullptr, context.nowMs);
    return std::max(context.lockedSeconds, (int)((accountMs + 999) / 1000));
}

void AnswerFeed(const Catalog& catalog, const std::string& line, RequestState state, const AnswerContext& context,
                Reply* reply)
{
    reply->kind = kKindFeed;
    reply->text = kNoDataReply;
    const std::string fields = line.substr(strlen(kFeedPrefix));
    const size_t caret = fields.find('^');
    reply->account = fields.substr(0, caret);
    if (state == kRequestTooLong) {
        reply->result = "too-long";
        return;
    }
    if (caret == std::string::npos) {
        reply->result = "malformed";
        return;
    }
    if (LockedSeconds(catalog, context, reply->account) > 0) {
        reply->result = "throttled";
        return;
    }
    const CatalogAccount* account = FindAccount(catalog, reply->account);
    reply->keyChecked = true;
    const bool matches = KeyMatches(catalog, account, fields.substr(caret + 1));
    if (account == nullptr) {
        reply->result = "unknown-account";
        reply->keyCheckFailed = true;
        return;
    }
    if (!matches) {
        reply->result = "wrong-key";
        reply->keyCheckFailed = true;
        return;
    }
    reply->result = "ok";
    reply->text.clear();
    reply->feed = &account->feed;
}

// "HTTP/2", "HTTP/3.0", ...: a version this server can tell is not one of those it reads.
bool IsOtherHttpVersion(const std::string& version)
{
    const size_t n = version.size();
    return (n == 6 || (n == 8 && version[6] == '.' && version[7] >= '0' && version[7] <= '9')) &&
           version.compare(0, 5, "HTTP/") == 0 && version[5] >= '0' && version[5] <= '9' && version[5] != '1';
}

// True for "HTTP/1." and one digit: the versions whose request line this server reads.
bool IsHttp1Version(const std::string& version)
{
    return version.size() == 8 && version.compare(0, 7, "HTTP/1.") == 0 && version[7] >= '0' && version[7] <= '9';
}

// The product's page from the cache; or rendered into *rendered, and kept while the cache has room.
const std::string& PageOf(PageCache* cache, const CatalogAccount& account, const CatalogProduct& product,
                          std::string* rendered)
{
    if (cache != nullptr) {
        const auto found = cache->pages.find(&product);
        if (found != cache->pages.end())
            return found->second;
    }
    *rendered = RenderProductPage(account, product);
    if (cache == nullptr || cache->bytes + rendered->size() > kPageCacheBytesMax)
        return *rendered;
    cache->bytes += rendered->size();
    return cache->pages[&product] = *rendered;
}

// The health check of a load balancer: it asks whether to send this server more clients.
void AnswerHealth(const AnswerContext& context, Reply* reply)
{
    reply->kind = kKindHealth;
    reply->httpStatus = context.draining ? 503 : 200;
    reply->result = context.draining ? "draining" : "ok";
    reply->text = HttpResponse(reply->httpStatus, context.draining ? "draining\n" : "ok\n", nullptr, context.now,
                               "text/plain; charset=utf-8");
}

void AnswerPage(const Catalog& catalog, const std::string& line, bool lineComplete, RequestState state,
                const AnswerContext& context, Reply* reply)
{
    reply->kind = kKindPage;
    const time_t now = context.now;
    if (state == kRequestTooLong) {
        if (lineComplete)
            SetPageError(reply, now, 431, "too-long", "The request's header fields are too long.");
        else
            SetPageError(reply, now, 414, "too-long", "The address is too long.");
        return;
    }
    const std::string rest = line.substr(line.find(' ') + 1);
    const size_t blank = rest.find(' ');
    const std::string version = blank == std::string::npos ? "" : rest.substr(blank + 1);
    if (IsOtherHttpVersion(version)) {
        SetPageError(reply, now, 505, "version", "Only HTTP/1.0 and HTTP/1.1 are served here.");
        return;
    }
    if (blank == std::string::npos || !IsHttp1Version(version) || rest[0] != '/') {
        SetPageError(reply, now, 400, "malformed", "The request could not be read.");
        return;
    }
    std::string target = rest.substr(1, blank - 1);
    const size_t query = target.find_first_of("?#");
    if (query != std::string::npos)
        target.resize(query);
    if ("/" + target == FEED_HEALTH_PATH) {
        AnswerHealth(context, reply);
        return;
    }
    if (context.metricsAllowed && "/" + target == kMetricsPath) {
        reply->kind = kKindMetrics;
        reply->httpStatus = 200;
        reply->result = "ok";
        return;
    }
    // Browsers may send "^" as %5E; the decoded text is only ever compared with catalog texts.
    std::string decoded;
    if (!PercentDecode(target, &decoded)) {
        SetPageError(reply, now, 400, "malformed", "The request could not be read.");
        return;
    }
    const size_t first = decoded.find('^');
    const size_t second = first == std::string::npos ? first : decoded.find('^', first + 1);
    if (second == std::string::npos || decoded.find('^', second + 1) != std::string::npos) {
        SetPageError(reply, now, 404, "not-found", "There is no such page.");
        return;
    }
    const std::string path = decoded.substr(0, first);
    reply->account = decoded.substr(first + 1, second - first - 1);
    const int lockedSeconds = LockedSeconds(catalog, context, reply->account);
    if (lockedSeconds > 0) {
        const std::string retry = "Retry-After: " + std::to_string(lockedSeconds) + "\r\n";
        SetPageError(reply, now, 429, "throttled", "Too many wrong keys were tried; try again shortly.",
                     retry.c_str());
        return;
    }
    const CatalogAccount* account = FindAccount(catalog, reply->account);
    reply->keyChecked = true;
    // A wrong key and an unknown account look the same, and both are judged before the product, so
    // that nothing about an account can be learnt without its key.
    if (!KeyMatches(catalog, account, decoded.substr(second + 1))) {
        SetPageError(reply, now, 403, account == nullptr ? "unknown-account" : "wrong-key",
                     "The account or its key is not known.");
        reply->keyCheckFailed = true;
        return;
    }
    const auto found = account->byServerPath.find(path);
    if (found == account->byServerPath.end()) {
        SetPageError(reply, now, 404, "not-found", "This account has no product with that page.");
        return;
    }
    reply->httpStatus = 200;
    reply->result = "ok";
    std::string rendered;
    reply->text = HttpResponse(200, PageOf(context.pages, *account, account->products[found->second], &rendered),
                               nullptr, now);
}

// "METHOD /target HTTP/n" with a method other than GET and HEAD, so that it gets an HTTP refusal
// rather than a silent close.
bool LooksLikeHttp(const std::string& line)
{
    const size_t blank = line.find(' ');
    if (blank == std::string::npos || blank == 0 || blank > 16)
        return false;
    for (size_t i = 0; i < blank; ++i)
        if (line[i] < 'A' || line[i] > 'Z')
            return false;
    const size_t last = line.rfind(' ');
    return last > blank && (IsHttp1Version(line.substr(last + 1)) || IsOtherHttpVersion(line.substr(last + 1)));
}

} // namespace

void SetMetricsReply(Reply* reply, const std::string& body, time_t now)
{
    reply->text = HttpResponse(200, body, nullptr, now, "text/plain; version=0.0.4; charset=utf-8");
    if (reply->head)
        reply->text.resize(reply->text.find("\r\n\r\n") + 4);
}

void RefuseAsBusy(Reply* reply, time_t now)
{
    reply->feed = nullptr;
    reply->result = "busy";
    if (reply->kind == kKindFeed)
        reply->text = kNoDataReply;
    else
        SetPageError(reply, now, 503, "busy", "Too many replies are under way to this address; try again shortly.",
                     "Retry-After: 5\r\n");
}

RequestState ScanRequest(RequestScan* scan, const char* data, size_t size)
{
    if (scan->lineEnd == 0) {
        // Only the first kRequestLineMax bytes may hold the line's LF, however many came in one read.
        const size_t lineSpan = size < kRequestLineMax ? size : kRequestLineMax;
        const char* lf = scan->searchFrom < lineSpan
                             ? (const char*)memchr(data + scan->searchFrom, '\n', lineSpan - scan->searchFrom)
                             : nullptr;
        if (lf == nullptr) {
            scan->searchFrom = lineSpan;
            return size >= kRequestLineMax ? kRequestTooLong : kRequestPartial;
        }
        scan->lineEnd = (size_t)(lf - data) + 1;
        if (!IsPageMethod(data, size))
            return kRequestComplete;
        const std::string line = FirstLine(data, scan->lineEnd);
        if (line.find(" HTTP/") == std::string::npos)
            return kRequestComplete;
        // Header fields follow the line; the request ends at the first empty line, and the line's own
        // LF may be the first of the two.
        scan->headers = true;
        scan->searchFrom = scan->lineEnd - 1;
    } else if (!scan->headers) {
        // A feed request, or a line without a version: whole at its LF.
        return kRequestComplete;
    }
    for (size_t at = scan->searchFrom; at < size;) {
        const char* lf = (const char*)memchr(data + at, '\n', size - at);
        if (lf == nullptr)
            break;
        const size_t next = (size_t)(lf - data) + 1;
        if (next < size && data[next] == '\n')
            return kRequestComplete;
        if (next + 1 < size && data[next] == '\r' && data[next + 1] == '\n')
            return kRequestComplete;
        // An LF at the very end, or an LF CR at the very end, may yet become the empty line.
        if (next >= size || (next + 1 >= size && data[next] == '\r')) {
            scan->searchFrom = next - 1;
            return size >= kRequestMax ? kRequestTooLong : kRequestPartial;
        }
        at = next;
    }
    scan->searchFrom = size;
    return size >= kRequestMax ? kRequestTooLong : kRequestPartial;
}

RequestState CheckRequest(const char* data, size_t size)
{
    RequestScan scan;
    return ScanRequest(&scan, data, size);
}

Reply AnswerRequest(const Catalog& catalog, const char* data, size_t size, RequestState state,
                    const AnswerContext& context)
{
    Reply reply;
    const std::string line = FirstLine(data, size);
    // The line is whole only when its LF came within the line limit, wherever later bytes put one.
    const bool lineComplete = memchr(data, '\n', size < kRequestLineMax ? size : kRequestLineMax) != nullptr;
    if (StartsWith(data, size, kFeedPrefix)) {
        AnswerFeed(catalog, line, state, context, &reply);
    } else if (IsPageMethod(data, size)) {
        AnswerPage(catalog, line, lineComplete, state, context, &reply);
        // HEAD: the same header, Content-Length included, and no body (link checkers ask so).
        reply.head = StartsWith(data, size, kHeadPrefix);
        if (reply.head && !reply.text.empty())
            reply.text.resize(reply.text.find("\r\n\r\n") + 4);
    } else if (lineComplete && LooksLikeHttp(line)) {
        reply.kind = kKindPage;
        if (IsHttp1Version(line.substr(line.rfind(' ') + 1)))
            SetPageError(&reply, context.now, 405, "method", "Only GET and HEAD are served here.");
        else
            SetPageError(&reply, context.now, 505, "version", "Only HTTP/1.0 and HTTP/1.1 are served here.");
    } else {
        reply.result = state == kRequestTooLong ? "too-long" : "unknown";
    }
    return reply;
}

std::string HttpDate(time_t when)
{
    static const char kDays[7][4] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char kMonths[12][4] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    struct tm utc;
#ifdef _WIN32
    const bool converted = gmtime_s(&utc, &when) == 0;
#else
    const bool converted = gmtime_r(&when, &utc) != nullptr;
#endif
    if (!converted)
        return "Thu, 01 Jan 1970 00:00:00 GMT";
    char text[40];
    FormatText(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[utc.tm_wday % 7], utc.tm_mday,
               kMonths[utc.tm_mon % 12], utc.tm_year + 1900, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

const char* ReplyData(const Reply& reply)
{
    return reply.feed != nullptr ? reply.feed->data() : reply.text.data();
}

size_t ReplySize(const Reply& reply)
{
    return reply.feed != nullptr ? reply.feed->size() : reply.text.size();
}

RequestKind KindOfStart(const char* data, size_t size)
{
    if (StartsWith(data, size, kFeedPrefix))
        return kKindFeed;
    if (IsPageMethod(data, size))
        return kKindPage;
    return kKindOther;
}

const char* KindName(RequestKind kind)
{
    switch (kind) {
    case kKindFeed: return "feed";
    case kKindPage: return "page";
    case kKindHealth: return "health";
    case kKindMetrics: return "metrics";
    default: return "other";
    }
}

std::string RenderProductPage(const CatalogAccount& account, const CatalogProduct& product)
{
    // The catalog loader refused ids the tables do not hold; the numbers stay only as a last resort.
    const char* categoryName = CategoryName(product.categoryId);
    const std::string category = categoryName != nullptr ? Cp1252ToUtf8(categoryName)
                                                          : "category " + std::to_string(product.categoryId);
    const char* currencyCode = CurrencyCode(product.currencyId);
    const std::string currency = currencyCode != nullptr ? currencyCode : std::to_string(product.currencyId);
    std::string web = "none";
    if (!product.webAddress.empty()) {
        const std::string address = EscapeHtml(product.webAddress);
        // No Referer: the page's own address holds the account key.
        web = "<a href=\"http://" + address + "\" rel=\"noreferrer\">" + address + "</a>";
    }
    const std::string name = EscapeHtml(product.name);
    const std::string caption = EscapeHtml(account.caption);
    std::string html = "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<meta name=\"referrer\" content=\"no-referrer\">\n";
    html += "<title>" + name + " - " + caption + "</title>\n</head>\n<body>\n";
    html += "<h1>" + name + "</h1>\n<table>\n";
    html += "<tr><th>Category</th><td>" + EscapeHtml(category) + "</td></tr>\n";
    html += "<tr><th>Price</th><td>" + EscapeHtml(product.price) + " " + EscapeHtml(currency) + "</td></tr>\n";
    html += "<tr><th>Status</th><td>" + std::string(StatusGroupName(StatusGroup(product.status))) + "</td></tr>\n";
    html += "<tr><th>Web address</th><td>" + web + "</td></tr>\n";
    html += "</table>\n<p>" + caption + "</p>\n</body>\n</html>\n";
    return html;
}
