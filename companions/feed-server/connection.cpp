// One connection's state machine: take a trusted balancer's PROXY header, read the request in time,
// answer it with key checks throttled per client address, write the reply as it is taken, linger,
// close; and the one sweep of the server that keeps every connection to its time limit.
#include "connection.h"

#include <time.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/text.h"
#include "feed_request.h"
#include "feed_text.h"
#include "proxy_header.h"
#include "server_log.h"

using asio::ip::tcp;

namespace {

// After the reply the sending side is shut and what the client still sends is read and dropped for a
// short while, so that unread request bytes do not turn the close into a reset that loses the reply
// (unless the client plainly has nothing more to send: then the close comes at once).
const int kLingerMs = 2000;
const size_t kLingerBytesMax = 64 * 1024;
// A connection beyond its address's share of silent ones has this long to send its whole request.
const int kShortRequestMs = 1000;
// How often the connections' time limits are looked at.
const int kSweepMs = 50;
// A reply must average --min-send-rate from this long after its start on: a reader that takes a
// little now and then, each piece restarting the idle limit, cannot hold its place for ever.
const long long kSendRateGraceMs = 5000;
// A modest send buffer: the kernel reports room (the reply's progress) every few tens of kilobytes
// even to a slow reader, where a buffer grown to megabytes would stay full for longer than the idle
// limit while the reader takes its bytes steadily.
const int kSendBufferBytes = 64 * 1024;

enum Phase { kReading, kWriting, kLingering, kDone };

} // namespace

struct Connection {
    Connection(Server* owner, tcp::socket s) : server(owner), socket(std::move(s)) {}
    Server* server;
    tcp::socket socket;
    long long deadlineMs = 0;   // when the phase's time is up (steady clock); the sweep looks
    Phase phase = kReading;
    bool awaitingProxy = false; // from a trusted balancer: its PROXY header comes first
    std::string host;           // the client's address: the peer's, or the one a PROXY header names
    std::string peer;           // the same with its port, for the log
    AddressKey address = 0;     // the client's address as a number, for the throttle and the silent share
    bool countedSilent = false; // counted in silentByAddress while its request is not whole
    bool requestWhole = false;  // the request came whole (not cut at the limit)
    std::string request;
    RequestScan scan;
    char chunk[2048];
    size_t lingered = 0;
    size_t sent = 0;            // reply bytes the kernel has taken
    long long writeStartMs = 0; // when the reply began to be written
    bool countedLong = false;   // counted in longRepliesByAddress while its reply is written
    // The catalog the request was answered from, held while the reply (which may point into it) goes.
    std::shared_ptr<const Catalog> catalog;
    Reply reply;
};

namespace {

long long NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Counts a connection as silent for its address; true when the address already had its share.
bool CountSilent(const ConnectionPtr& c)
{
    int& silent = c->server->silentByAddress[c->address];
    const bool beyondShare = silent >= c->server->options.maxSilentPerAddress;
    ++silent;
    c->countedSilent = true;
    return beyondShare;
}

// Takes a connection out of a per-address count it was in (counted says whether it was), and the
// address out of the count once none of its connections is left there.
void Uncount(std::map<AddressKey, int>* counts, AddressKey address, bool* counted)
{
    if (!*counted)
        return;
    *counted = false;
    const auto found = counts->find(address);
    if (found != counts->end() && --found->second <= 0)
        counts->erase(found);
}

void NoLongerLong(const ConnectionPtr& c)
{
    Uncount(&c->server->longRepliesByAddress, c->address, &c->countedLong);
}

void NoLongerSilent(const ConnectionPtr& c)
{
    Uncount(&c->server->silentByAddress, c->address, &c->countedSilent);
}

// IPv4 addresses as they are; IPv6 ones by their first 64 bits, and the IPv4 address in an IPv4-mapped one.
AddressKey KeyOf(const asio::ip::address& address)
{
    if (address.is_v4())
        return address.to_v4().to_uint();
    const asio::ip::address_v6 v6 = address.to_v6();
    if (v6.is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, v6).to_uint();
    const asio::ip::address_v6::bytes_type bytes = v6.to_bytes();
    AddressKey key = 0;
    for (int i = 0; i < 8; ++i)
        key = key << 8 | bytes[i];
    return key;
}

void SetClient(const ConnectionPtr& c, const asio::ip::address& address, unsigned short port)
{
    c->host = address.to_string();
    c->peer = (address.is_v6() ? "[" + c->host + "]" : c->host) + ":" + std::to_string(port);
    c->address = KeyOf(address);
}

bool IsTrustedProxy(const ServerOptions& options, const asio::ip::address& address)
{
    if (!address.is_v4())
        return false;
    for (unsigned trusted : options.trustedProxies)
        if (trusted == address.to_v4().to_uint())
            return true;
    return false;
}

// The log line of a request that has ended, and its count in the metrics.
void Report(const ConnectionPtr& c, const char* kind, const std::string& account, const char* result, size_t bytes)
{
    LogRequest(c->server->log, c->peer, kind, account, result, bytes);
    CountRequest(&c->server->metrics, kind, result, bytes);
}

void Finish(const ConnectionPtr& c)
{
    if (c->phase == kDone)
        return;
    c->phase = kDone;
    NoLongerSilent(c);
    NoLongerLong(c);
    std::error_code ignored;
    c->socket.close(ignored);
    c->server->live.erase(c);
    ConnectionEnded(c->server);
}

// Ends a reply that is not whole with a reset, so that the client cannot take what it got for all of
// it: a normal close after the last byte sent would look exactly like the end of a short feed.
void CutReply(const ConnectionPtr& c, const char* why)
{
    Report(c, KindName(c->reply.kind), c->reply.account, "cut", c->sent);
    ++c->server->metrics.cuts[why];
    std::error_code ignored;
    c->socket.set_option(asio::socket_base::linger(true, 0), ignored);
    Finish(c);
}

void OnTimeout(const ConnectionPtr& c)
{
    if (c->phase == kReading)
        Report(c, KindName(KindOfStart(c->request.data(), c->request.size())), "", "timeout", 0);
    if (c->phase == kWriting)
        CutReply(c, "idle");
    else
        Finish(c);
}

// Every connection's time limit is a deadline that one sweep of the server looks at a few times a
// second: no timer of its own to arm, re-arm and cancel for each step of each connection. A limit is
// kept to within a sweep's interval.
void Sweep(Server* server);

void StartSweep(Server* server)
{
    if (server->sweeping)
        return;
    server->sweeping = true;
    server->sweep->expires_after(std::chrono::milliseconds(kSweepMs));
    server->sweep->async_wait([server](const std::error_code& ec) {
        server->sweeping = false;
        if (!ec)
            Sweep(server);
    });
}

// Whether a reply under way has fallen below the minimum average rate, past its first seconds.
bool TooSlow(const Connection& c, long long now)
{
    const long long elapsed = now - c.writeStartMs;
    const long long rate = c.server->options.minSendRate;
    return c.phase == kWriting && rate > 0 && elapsed >= kSendRateGraceMs && (long long)c.sent * 1000 < rate * elapsed;
}

void Sweep(Server* server)
{
    const long long now = NowMs();
    std::vector<ConnectionPtr> due;
    std::vector<ConnectionPtr> slow;
    for (const ConnectionPtr& c : server->live)
        if (c->deadlineMs <= now)
            due.push_back(c);
        else if (TooSlow(*c, now))
            slow.push_back(c);
    for (const ConnectionPtr& c : due)
        if (c->phase != kDone)
            OnTimeout(c);
    for (const ConnectionPtr& c : slow)
        if (c->phase == kWriting)
            CutReply(c, "slow");
    if (!server->live.empty())
        StartSweep(server);
}

// Sets the connection's time limit from now, in place of the one before.
void ArmTimer(const ConnectionPtr& c, int ms)
{
    c->deadlineMs = NowMs() + ms;
    StartSweep(c->server);
}

// Whether the client can be closed on at once, without the linger: it sent a whole request of a kind
// after which it only reads (the viewer's line, a GET or HEAD), nothing beyond it, and nothing waits
// unread, which the close would answer with a reset.
bool SaidNothingMore(const ConnectionPtr& c)
{
    const std::string& r = c->request;
    if (!c->requestWhole || r.empty() || r.back() != '\n' || KindOfStart(r.data(), r.size()) == kKindOther)
        return false;
    const bool oneLine = r.find('\n') == r.size() - 1;
    const bool fieldsEnded = (r.size() >= 2 && r.compare(r.size() - 2, 2, "\n\n") == 0) ||
                             (r.size() >= 3 && r.compare(r.size() - 3, 3, "\n\r\n") == 0);
    std::error_code ec;
    return (oneLine || fieldsEnded) && c->socket.available(ec) == 0 && !ec;
}

void Linger(const ConnectionPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [c](const std::error_code& ec, size_t n) {
        c->lingered += n;
        if (ec || c->phase != kLingering || c->lingered > kLingerBytesMax) {
            Finish(c);
            return;
        }
        Linger(c);
    });
}

// Writes the reply piece by piece as the kernel takes it; each piece taken is progress and restarts
// the idle limit, so a slow but steady reader gets the whole reply however long it takes.
void WriteMore(const ConnectionPtr& c)
{
    const size_t size = ReplySize(c->reply);
    c->socket.async_write_some(
        asio::buffer(ReplyData(c->reply) + c->sent, size - c->sent), [c, size](const std::error_code& ec, size_t n) {
            if (c->phase != kWriting)
                return;
            c->sent += n;
            if (ec) {
                Report(c, KindName(c->reply.kind), c->reply.account, "send-failed", c->sent);
                Finish(c);
                return;
            }
            if (c->sent < size) {
                ArmTimer(c, c->server->options.replyIdleMs);
                WriteMore(c);
                return;
            }
            Report(c, KindName(c->reply.kind), c->reply.account, c->reply.result, c->sent);
            NoLongerLong(c);
            if (SaidNothingMore(c)) {
                Finish(c);
                return;
            }
            c->phase = kLingering;
            std::error_code ignored;
            c->socket.shutdown(tcp::socket::shutdown_send, ignored);
            ArmTimer(c, kLingerMs);
            Linger(c);
        });
}

void SendReply(const ConnectionPtr& c)
{
    if (ReplySize(c->reply) == 0) {
        Report(c, KindName(c->reply.kind), c->reply.account, c->reply.result, 0);
        Finish(c);
        return;
    }
    c->phase = kWriting;
    c->writeStartMs = NowMs();
    // A reply longer than the send buffer needs it small (above), and counts against the client's
    // address while it goes; a shorter one is taken in one write.
    if (ReplySize(c->reply) > (size_t)kSendBufferBytes) {
        std::error_code ignored;
        c->socket.set_option(asio::socket_base::send_buffer_size(kSendBufferBytes), ignored);
        ++c->server->longRepliesByAddress[c->address];
        c->countedLong = true;
    }
    ArmTimer(c, c->server->options.replyIdleMs);
    WriteMore(c);
}

// How the server stands, for the metrics.
ServerGauges Gauges(const Server* server)
{
    ServerGauges gauges;
    gauges.connectionsOpen = (long long)server->live.size();
    gauges.connectionsQueued = ListenQueueLength(server);
    gauges.catalogGeneration = server->catalogGeneration;
    gauges.catalogAccounts = (long long)server->catalog->accounts.size();
    gauges.catalogProducts = (long long)server->catalog->productCount;
    gauges.lastReloadTime = server->lastReloadTime;
    gauges.lastReloadOk = server->lastReloadOk;
    gauges.startTime = server->startTime;
    gauges.draining = server->stopping;
    return gauges;
}

// Answers a whole request from the catalog in force, with key checks held back while the address is
// locked out, and counts a failed check against the address.
void Answer(const ConnectionPtr& c, RequestState state)
{
    NoLongerSilent(c);
    c->requestWhole = state == kRequestComplete;
    Server* server = c->server;
    const long long now = NowMs();
    AnswerContext context;
    context.lockedSeconds = (int)((KeyLockRemaining(server->keyGuard, c->address, now) + 999) / 1000);
    context.accounts = &server->accountGuard;
    context.nowMs = now;
    for (unsigned allowed : server->options.metricsFrom)
        context.metricsAllowed = context.metricsAllowed || c->address == allowed;
    context.now = time(nullptr);
    context.draining = server->stopping;
    if (server->pages.catalog != server->catalog) {
        server->pages = PageCache();
        server->pages.catalog = server->catalog;
    }
    context.pages = &server->pages;
    c->catalog = server->catalog;
    c->reply = AnswerRequest(*c->catalog, c->request.data(), c->request.size(), state, context);
    if (c->reply.kind == kKindMetrics)
        SetMetricsReply(&c->reply, RenderMetrics(server->metrics, Gauges(server)), context.now);
    if (c->reply.keyChecked)
        ++(c->reply.keyCheckFailed ? server->metrics.keyChecksFailed : server->metrics.keyChecksOk);
    if (c->reply.keyCheckFailed) {
        int failures = 0;
        const long long lockMs = RecordKeyFailure(&server->keyGuard, c->address, now, &failures);
        if (lockMs > 0) {
            ++server->metrics.addressLockouts;
            char line[160];
            FormatText(line, sizeof line, "feed-server: %s locked out of key checks for %lld ms after %d failed checks",
                       c->host.c_str(), lockMs, failures);
            LogLine(server->log, line);
        }
        long long accountLockMs = 0;
        const bool known = FindAccount(*c->catalog, c->reply.account) != nullptr;
        const bool episode = RecordAccountFailure(&server->accountGuard, c->reply.account, known, now, &accountLockMs);
        server->metrics.accountHolds += accountLockMs > 0 ? 1 : 0;
        server->metrics.accountEpisodes += episode ? 1 : 0;
        if (episode) {
            char line[240];
            FormatText(line, sizeof line,
                       "feed-server: account %s: more than %d failed key checks within %lld minutes; its key checks "
                       "are held back, %lld ms now, longer with each further failure",
                       LogSafe(c->reply.account.data(), c->reply.account.size(), kAccountIdMax).c_str(),
                       kAccountFailureBudget, kAccountWindowMs / 60000, accountLockMs);
            LogLine(server->log, line);
        }
    }
    // A client already taking as many long replies as one address may gets no further one: a few slow
    // readers cannot hold every connection slot.
    if (ReplySize(c->reply) > (size_t)kSendBufferBytes) {
        const auto writing = server->longRepliesByAddress.find(c->address);
        if (writing != server->longRepliesByAddress.end() && writing->second >= server->options.maxRepliesPerAddress)
            RefuseAsBusy(&c->reply, context.now);
    }
    SendReply(c);
}

void Read(const ConnectionPtr& c);

// The header a trusted balancer sends first: the client it names takes the connection's place in the
// log, the throttle and the share of silent connections (a health check names none and keeps the
// balancer's). True when the header was whole and is taken off the bytes read; otherwise more is read,
// or the connection, which did not start with a header, is closed.
bool TakeProxyHeader(const ConnectionPtr& c)
{
    ProxyHeader header;
    const ProxyState state = ParseProxyHeader(c->request.data(), c->request.size(), &header);
    if (state == kProxyPartial) {
        Read(c);
        return false;
    }
    if (state == kProxyInvalid) {
        Report(c, KindName(kKindOther), "", "bad-proxy", 0);
        Finish(c);
        return false;
    }
    c->awaitingProxy = false;
    c->request.erase(0, header.length);
    if (header.hasClient) {
        NoLongerSilent(c);
        SetClient(c, header.client, header.clientPort);
        if (CountSilent(c) && kShortRequestMs < c->server->options.requestTimeoutMs)
            ArmTimer(c, kShortRequestMs);
    }
    return true;
}

void Read(const ConnectionPtr& c)
{
    c->socket.async_read_some(asio::buffer(c->chunk), [c](const std::error_code& ec, size_t n) {
        if (c->phase != kReading)
            return;
        if (ec) {
            // The client went away (or reset) before its request was whole.
            Report(c, KindName(KindOfStart(c->request.data(), c->request.size())), "", "closed", 0);
            Finish(c);
            return;
        }
        const size_t room = kRequestMax - c->request.size();
        c->request.append(c->chunk, n < room ? n : room);
        if (c->awaitingProxy && !TakeProxyHeader(c))
            return;
        RequestState state = ScanRequest(&c->scan, c->request.data(), c->request.size());
        if (state == kRequestPartial && c->request.size() >= kRequestMax)
            state = kRequestTooLong;
        if (state == kRequestPartial) {
            Read(c);
            return;
        }
        Answer(c, state);
    });
}

} // namespace

void Admit(Server* server, tcp::socket socket, const tcp::endpoint& peer)
{
    ConnectionPtr c = std::make_shared<Connection>(server, std::move(socket));
    SetClient(c, peer.address(), peer.port());
    c->awaitingProxy = IsTrustedProxy(server->options, peer.address());
    server->live.insert(c);
    // One address may keep only so many connections silent for the whole request time; beyond them
    // a connection must say its request at once. A crowd behind one address sends at once and is
    // never touched; a peer holding silent connections loses the extra ones within a second.
    const ServerOptions& options = server->options;
    const bool beyondShare = CountSilent(c);
    ArmTimer(c, beyondShare && kShortRequestMs < options.requestTimeoutMs ? kShortRequestMs : options.requestTimeoutMs);
    Read(c);
}

void EndConnection(const ConnectionPtr& c)
{
    if (c->phase == kWriting)
        CutReply(c, "stopping");
    else
        Finish(c);
}
