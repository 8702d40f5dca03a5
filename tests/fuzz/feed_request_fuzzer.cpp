// libFuzzer target: any bytes as what a client sent the feed server. The request check decides where a
// request ends, read at once and read by read, and the answer is built against a small catalog in
// memory, with key checks allowed and locked out; the same bytes also go through the PROXY header
// reading, the page address's percent-decoding, the code page 1252 conversions both ways, the log copy
// and the terminal copy.
#include <ctype.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>

#include "feed_catalog.h"
#include "feed_request.h"
#include "feed_text.h"
#include "proxy_header.h"

namespace {

void Check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

const char kAccountId[] = "demo";
const char kAccountKey[] = "demo";
const char kServerPath[] = "p/chair";

// One account with one product that has a page: enough for every branch of the answer.
const Catalog& SmallCatalog()
{
    static const Catalog* catalog = [] {
        Catalog* c = new Catalog;
        CatalogProduct product;
        product.line = 1;
        product.status = kStatusNew;
        product.name = "Chair";
        product.categoryId = 1110;
        product.price = "5";
        product.currencyId = 840;
        product.serverPath = kServerPath;
        product.feedLine = ":2^Chair^1110^5^840^^p/chair^^^^#";
        CatalogAccount account;
        account.id = kAccountId;
        account.key = kAccountKey;
        account.caption = "Shop";
        account.feed = "Shop\n" + product.feedLine + "\n";
        account.products.push_back(product);
        account.byServerPath[kServerPath] = 0;
        c->accounts.push_back(account);
        c->byId[kAccountId] = 0;
        c->productCount = 1;
        return c;
    }();
    return *catalog;
}

bool StartsWith(const std::string& text, const char* prefix)
{
    return text.compare(0, strlen(prefix), prefix) == 0;
}

// The first line without its LF and a CR before it.
std::string FirstLine(const std::string& bytes)
{
    std::string line = bytes.substr(0, bytes.find('\n'));
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// Where a request ends, as CheckRequest promises it: the first LF within the line limit, and for a page
// request with an HTTP version the empty line after its header fields. More bytes never undo a whole
// request, since the server answers at the first moment it is whole.
RequestState CheckEnds(const std::string& bytes)
{
    const size_t size = bytes.size();
    const RequestState state = CheckRequest(bytes.data(), size);
    const size_t lineSpan = size < kRequestLineMax ? size : kRequestLineMax;
    const size_t lf = bytes.find('\n');
    const bool lineEnded = lf != std::string::npos && lf < lineSpan;
    const bool versioned = lineEnded && (StartsWith(bytes, "GET ") || StartsWith(bytes, "HEAD ")) &&
                           FirstLine(bytes).find(" HTTP/") != std::string::npos;
    const bool headersEnded = lineEnded && (bytes.find("\n\n", lf) != std::string::npos ||
                                            bytes.find("\n\r\n", lf) != std::string::npos);
    switch (state) {
    case kRequestComplete:
        Check(lineEnded);
        Check(!versioned || headersEnded);
        break;
    case kRequestTooLong:
        Check((!lineEnded && size >= kRequestLineMax) || (versioned && size >= kRequestMax));
        break;
    case kRequestPartial:
        Check(size < kRequestMax);
        Check(!lineEnded ? size < kRequestLineMax : versioned && !headersEnded);
        break;
    }
    if (size > 0 && CheckRequest(bytes.data(), size - 1) == kRequestComplete)
        Check(state == kRequestComplete);

    // The line limit itself, which inputs rarely reach: the input's bytes without LF, repeated to the
    // limit, are a request that is waited for up to one byte short of it and too long at it.
    std::string unended;
    for (char c : bytes)
        if (c != '\n')
            unended += c;
    if (unended.empty())
        unended = "V";
    while (unended.size() < kRequestLineMax)
        unended += unended;
    Check(CheckRequest(unended.data(), kRequestLineMax - 1) == kRequestPartial);
    Check(CheckRequest(unended.data(), kRequestLineMax) == kRequestTooLong);
    return state;
}

// Read by read, at split points the bytes themselves choose, the scan finds the same state as a look at
// each whole prefix, and looks again at no more than the two bytes before each new piece.
void CheckScanByReads(const std::string& bytes)
{
    RequestScan scan;
    size_t size = 0;
    for (size_t i = 0; size < bytes.size(); ++i) {
        size = std::min(bytes.size(), size + 1 + (unsigned char)bytes[i % bytes.size()] % 13);
        const RequestState state = ScanRequest(&scan, bytes.data(), size);
        Check(state == CheckRequest(bytes.data(), size));
        if (state != kRequestPartial)
            return;
        Check(scan.lineEnd == 0 ? scan.searchFrom == std::min(size, kRequestLineMax) : scan.searchFrom + 2 >= size);
    }
}

bool IsPageStatus(int status, bool locked)
{
    return status == 200 || status == 400 || status == 403 || status == 404 || status == 405 || status == 414 ||
           status == 431 || status == 505 || (locked && status == 429);
}

// An answer only ever gives the feed or a page for the right account and key, never while key checks are
// locked out, and every page reply is a whole, dated HTTP/1.0 response whose Content-Length is its
// body's (none for HEAD) and that keeps its address out of Referer headers. The metrics answer only
// their own path, and only to an address allowed them.
void CheckAnswer(const std::string& bytes, RequestState state, int lockedSeconds, bool draining, bool metrics)
{
    const Catalog& catalog = SmallCatalog();
    AnswerContext context;
    context.lockedSeconds = lockedSeconds;
    context.now = 1700000000;
    context.draining = draining;
    context.metricsAllowed = metrics;
    Reply reply = AnswerRequest(catalog, bytes.data(), bytes.size(), state, context);
    if (reply.kind == kKindMetrics) {
        Check(metrics && state == kRequestComplete && reply.text.empty());
        const std::string line = FirstLine(bytes);
        Check(StartsWith(line.substr(line.find(' ') + 1), "/metrics"));
        SetMetricsReply(&reply, "feed_server_up 1\n", context.now);
    }
    const std::string sent(ReplyData(reply), ReplySize(reply));
    const RequestKind start = KindOfStart(bytes.data(), bytes.size());
    const bool ok = strcmp(reply.result, "ok") == 0;
    const bool locked = lockedSeconds > 0;
    Check(reply.account.size() <= bytes.size());
    // The health check and the metrics alone answer while key checks are locked out: they check no key.
    Check(!(locked && ((ok && reply.kind != kKindHealth && reply.kind != kKindMetrics) || reply.keyCheckFailed)));
    Check(reply.keyCheckFailed ==
          (strcmp(reply.result, "wrong-key") == 0 || strcmp(reply.result, "unknown-account") == 0));
    Check(locked || strcmp(reply.result, "throttled") != 0);
    if (start == kKindFeed) {
        Check(reply.kind == kKindFeed && reply.httpStatus == 0);
        if (ok) {
            Check(state == kRequestComplete);
            Check(FirstLine(bytes) == std::string("VNP,") + kAccountId + "^" + kAccountKey);
            Check(reply.feed == &catalog.accounts[0].feed);
        } else {
            Check(sent == kNoDataReply);
        }
        return;
    }
    if (reply.kind == kKindOther) {
        Check(start == kKindOther && !ok && sent.empty());
        return;
    }
    const std::string line = FirstLine(bytes);
    const bool head = StartsWith(bytes, "HEAD ");
    if (reply.kind == kKindHealth) {
        // Only the check's own path, with any query, and its answer follows the server's state alone.
        Check(start == kKindPage && state == kRequestComplete);
        Check(StartsWith(line.substr(line.find(' ') + 1), "/health"));
        Check(reply.httpStatus == (draining ? 503 : 200) && !reply.keyCheckFailed);
    } else if (reply.kind == kKindMetrics) {
        Check(reply.httpStatus == 200 && !reply.keyChecked);
    } else {
        Check(reply.kind == kKindPage);
        Check(start == kKindPage || reply.httpStatus == 405 || reply.httpStatus == 505);
        Check(IsPageStatus(reply.httpStatus, locked));
    }
    // An address over the line limit is 414 and nothing else, however many bytes came with it.
    if (start == kKindPage && state == kRequestTooLong)
        Check((reply.httpStatus == 414) == (bytes.find('\n') >= kRequestLineMax));
    Check(StartsWith(sent, ("HTTP/1.0 " + std::to_string(reply.httpStatus) + " ").c_str()));
    const size_t headEnd = sent.find("\r\n\r\n");
    Check(headEnd != std::string::npos);
    Check(sent.find("\r\nReferrer-Policy: no-referrer\r\n") < headEnd);
    Check(sent.find("\r\nDate: Tue, 14 Nov 2023 22:13:20 GMT\r\n") < headEnd);
    if (head) {
        Check(sent.size() == headEnd + 4);
    } else {
        const std::string length = "\r\nContent-Length: " + std::to_string(sent.size() - headEnd - 4) + "\r\n";
        Check(sent.find(length) != std::string::npos && sent.find(length) < headEnd);
    }
    Check(ok == (reply.httpStatus == 200));
    if (ok && reply.kind == kKindPage) {
        // The target, without a query, decodes to exactly the product's path, id and key.
        const size_t from = line.find(' ') + 2;
        std::string target = line.substr(from, line.find(' ', from) - from);
        target.resize(std::min(target.find_first_of("?#"), target.size()));
        std::string decoded;
        Check(PercentDecode(target, &decoded));
        Check(decoded == std::string(kServerPath) + "^" + kAccountId + "^" + kAccountKey);
        Check(state == kRequestComplete);
    }
}

bool HasControlByte(const std::string& text)
{
    for (unsigned char c : text)
        if (IsControlByte(c))
            return true;
    return false;
}

// Decoding only ever shortens: each "%" and its two digits become one byte, nothing else changes
// length, and no control byte comes out. Text without "%" or control bytes decodes to itself.
void CheckPercentDecode(const std::string& text)
{
    std::string decoded;
    const bool decodedOk = PercentDecode(text, &decoded);
    size_t percents = 0;
    for (char c : text)
        percents += c == '%';
    if (!decodedOk) {
        Check(percents > 0 || HasControlByte(text));
        return;
    }
    Check(decoded.size() <= text.size());
    Check(decoded.size() == text.size() - 2 * percents);
    Check(!HasControlByte(decoded));
    if (percents == 0)
        Check(decoded == text);
    // Every byte escaped decodes back to the same text.
    static const char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (unsigned char c : decoded) {
        escaped += '%';
        escaped += hex[c >> 4];
        escaped += hex[c & 15];
    }
    std::string again;
    Check(PercentDecode(escaped, &again) && again == decoded);
}

// The code page's five unused bytes.
bool IsUnusedCp1252(unsigned char byte)
{
    return byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 || byte == 0x9D;
}

// One output byte per character, never longer than the input, ASCII passed through in order, the code
// page's unused bytes never produced, and Latin-1 text converting back exactly. A failure names a
// column within the input, before which the text converts.
void CheckCp1252(const std::string& utf8)
{
    std::string cp1252;
    std::string why;
    if (!Utf8ToCp1252(utf8, &cp1252, &why)) {
        const size_t at = why.find("column ");
        Check(at != std::string::npos);
        const long column = strtol(why.c_str() + at + 7, nullptr, 10);
        Check(column >= 1 && (size_t)column <= utf8.size());
        std::string prefix;
        Check(Utf8ToCp1252(utf8.substr(0, (size_t)column - 1), &prefix, &why));
        return;
    }
    Check(cp1252.size() <= utf8.size());
    size_t characters = 0;
    std::string asciiIn;
    for (unsigned char c : utf8) {
        characters += (c & 0xC0) != 0x80;
        if (c < 0x80)
            asciiIn += (char)c;
    }
    Check(cp1252.size() == characters);
    std::string asciiOut;
    bool latin1 = true;
    std::string back;
    for (unsigned char c : cp1252) {
        Check(!IsUnusedCp1252(c));
        if (c < 0x80) {
            asciiOut += (char)c;
            back += (char)c;
        } else if (c >= 0xA0) {
            back += (char)(0xC0 | (c >> 6));
            back += (char)(0x80 | (c & 0x3F));
        } else {
            latin1 = false;
        }
    }
    Check(asciiOut == asciiIn);
    if (latin1)
        Check(back == utf8);
}

// The copy for the terminal keeps printable ASCII and whole UTF-8 characters from U+00A0 up, and
// nothing else: no control byte, no C1 code, no broken sequence survives unescaped.
void CheckTerminalSafe(const std::string& bytes)
{
    const std::string shown = TerminalSafe(bytes);
    for (size_t i = 0; i < shown.size();) {
        const unsigned char c = (unsigned char)shown[i];
        Check(c >= 0x20 && c != 0x7F);
        if (c < 0x80) {
            ++i;
            continue;
        }
        // A whole sequence from U+00A0 up: the lead byte's length, continuation bytes, no C1 (C2 80-9F).
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
        Check(c >= 0xC2 && c <= 0xF4 && i + length <= shown.size());
        for (size_t k = 1; k < length; ++k)
            Check(((unsigned char)shown[i + k] & 0xC0) == 0x80);
        Check(!(c == 0xC2 && (unsigned char)shown[i + 1] < 0xA0));
        i += length;
    }
    bool plain = true;
    for (unsigned char c : bytes)
        plain = plain && c >= 0x20 && c < 0x7F;
    if (plain)
        Check(shown == bytes);
}

// Code page 1252 to UTF-8 and back is the identity for every byte the code page uses.
void CheckCp1252RoundTrip(const std::string& bytes)
{
    const std::string utf8 = Cp1252ToUtf8(bytes);
    std::string back;
    std::string why;
    bool unused = false;
    for (unsigned char c : bytes)
        unused = unused || IsUnusedCp1252(c);
    Check(Utf8ToCp1252(utf8, &back, &why) != unused);
    if (!unused)
        Check(back == bytes);
}

// The log copy holds printable ASCII only, each other byte as \xNN, whatever the request held.
void CheckLogSafe(const std::string& bytes)
{
    const std::string shown = LogSafe(bytes.data(), bytes.size(), kAccountIdMax);
    if (bytes.empty()) {
        Check(shown == "-");
        return;
    }
    const size_t kept = std::min(bytes.size(), kAccountIdMax);
    const bool cut = kept < bytes.size();
    Check(shown.size() <= 4 * kept + (cut ? 3 : 0));
    if (cut)
        Check(shown.compare(shown.size() - 3, 3, "...") == 0);
    size_t shownBytes = 0;
    const size_t end = shown.size() - (cut ? 3 : 0);
    for (size_t i = 0; i < end; ++i, ++shownBytes) {
        const unsigned char c = (unsigned char)shown[i];
        Check(c > 0x20 && c < 0x7F);
        if (c == '\\') {
            Check(i + 3 < end && shown[i + 1] == 'x' && isxdigit((unsigned char)shown[i + 2]) &&
                  isxdigit((unsigned char)shown[i + 3]));
            i += 3;
        }
    }
    Check(shownBytes == kept);
}

// A header is decided by its own bytes: more bytes after it change nothing.
void CheckProxyHeader(const std::string& bytes)
{
    ProxyHeader header, again;
    const std::string more = bytes + "VNP,demo^demo\r\n" + bytes;
    const ProxyState state = ParseProxyHeader(bytes.data(), bytes.size(), &header);
    Check(state == kProxyPartial || (ParseProxyHeader(more.data(), more.size(), &again) == state &&
                                     again.length == header.length && again.client == header.client));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const RequestState state = CheckEnds(bytes);
    CheckScanByReads(bytes);
    // The server answers only a whole request or one that grew past its limit.
    if (state != kRequestPartial) {
        CheckAnswer(bytes, state, 0, false, size % 3 == 0);
        CheckAnswer(bytes, state, 1 + (int)(size % 30), size % 2 == 1, size % 3 != 0);
    }
    CheckProxyHeader(bytes);
    CheckPercentDecode(bytes);
    CheckCp1252(bytes);
    CheckCp1252RoundTrip(bytes);
    CheckLogSafe(bytes);
    CheckTerminalSafe(bytes);
    return 0;
}
