// feed-server: serves the viewer's feed ("VNP,<id>^<key>") and the product pages its link menu hands to
// the browser, from a catalog directory, on one TCP port; one log line per request on stdout. SIGHUP
// reloads the catalog, SIGTERM and SIGINT drain and stop.
#include <asio.hpp>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "common/text.h"
#include "connections.h"
#include "feed_catalog.h"
#include "feed_names.h"
#include "feed_text.h"
#include "server_log.h"
#include "server_options.h"

namespace {

using asio::ip::tcp;

// What is still queued for the log when the server stops gets this long to reach a stuck output.
const int kLogFlushMs = 2000;

// Loads and checks the whole catalog, printing its warnings and, when it is refused, every problem
// found; null when it was refused.
std::shared_ptr<const Catalog> LoadAndReport(const std::string& dir, const CatalogRules& rules)
{
    std::shared_ptr<Catalog> catalog = std::make_shared<Catalog>();
    std::vector<CatalogError> errors;
    const bool loaded = LoadCatalog(dir, catalog.get(), &errors, rules);
    for (const CatalogError& warning : catalog->warnings)
        fprintf(stderr, "%s\n", FormatCatalogError(warning).c_str());
    if (!loaded) {
        for (const CatalogError& error : errors)
            fprintf(stderr, "%s\n", FormatCatalogError(error).c_str());
        if (errors.size() >= kCatalogErrorsMax)
            fprintf(stderr, "feed-server: more errors not shown\n");
        fputs("feed-server: the catalog was not loaded\n", stderr);
        return nullptr;
    }
    return catalog;
}

// --hash-key: reads one key from stdin (never the command line, which other users can see), checks it
// as the catalog would and prints its verifier. Nothing it says quotes the key.
int HashKey(const ServerOptions& options, const KeySecret& secret)
{
    std::string key;
    int c = 0;
    while ((c = getchar()) != EOF && c != '\n' && key.size() <= kAccountKeyMax + 1)
        key += (char)c;
    if (!key.empty() && key.back() == '\r')
        key.pop_back();
    const std::string reason = CheckKeyText(key, options.allowShortKeys);
    if (!reason.empty()) {
        fprintf(stderr, "feed-server: the key on standard input is refused: %s\n", reason.c_str());
        return 1;
    }
    const std::string verifier = KeyVerifier(secret, key);
    if (verifier.empty()) {
        fputs("feed-server: the key could not be hashed\n", stderr);
        return 1;
    }
    printf("%s\n", verifier.c_str());
    return 0;
}

// The currency codes the catalog uses, in order: on Windows too they show the built-in table at work.
std::string CurrenciesUsed(const Catalog& catalog, size_t* categories)
{
    std::set<std::string> codes;
    std::set<int> categoryIds;
    for (const CatalogAccount& account : catalog.accounts)
        for (const CatalogProduct& product : account.products) {
            const char* code = CurrencyCode(product.currencyId);
            codes.insert(code != nullptr ? code : std::to_string(product.currencyId));
            categoryIds.insert(product.categoryId);
        }
    *categories = categoryIds.size();
    std::string text;
    size_t shown = 0;
    for (const std::string& code : codes) {
        if (++shown > 24) {
            text += " ...";
            break;
        }
        text += (text.empty() ? "" : " ") + code;
    }
    return text.empty() ? "none" : text;
}

// "feed-server: catalog DIR: ..." or, after a reload, "feed-server: catalog DIR reloaded: ...".
void LogCatalogSummary(ServerLog* log, const std::string& dir, const Catalog& catalog, const char* what = "")
{
    size_t categories = 0;
    const std::string currencies = CurrenciesUsed(catalog, &categories);
    char line[512];
    FormatText(line, sizeof line, "feed-server: catalog %s%s: %lu accounts, %lu products in %lu categories; currencies %s",
               TerminalSafe(dir).c_str(), what, (unsigned long)catalog.accounts.size(),
               (unsigned long)catalog.productCount, (unsigned long)categories, currencies.c_str());
    LogLine(log, line);
}

// Opens, binds and listens; the queue is the longest the system allows (4096 on Linux, its own
// maximum on Windows): at the cap, a crowd waits there to be taken in turn.
std::error_code Listen(tcp::acceptor* acceptor, const tcp::endpoint& endpoint)
{
    std::error_code ec;
    acceptor->open(endpoint.protocol(), ec);
#ifdef _WIN32
    // On Windows SO_REUSEADDR would let another local process bind the same port and take requests
    // that carry keys; exclusive use keeps the port this server's alone.
    typedef asio::detail::socket_option::boolean<SOL_SOCKET, SO_EXCLUSIVEADDRUSE> exclusive_address_use;
    if (!ec)
        acceptor->set_option(exclusive_address_use(true), ec);
#else
    // On Linux it only lets a restart bind while the last run's connections are in TIME_WAIT.
    if (!ec)
        acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
#endif
    if (!ec)
        acceptor->bind(endpoint, ec);
    if (!ec)
        acceptor->listen(asio::socket_base::max_listen_connections, ec);
    return ec;
}

// The first SIGTERM or SIGINT drains; another one cuts what is left at once.
void WaitForStop(Server* server, asio::signal_set* signals)
{
    signals->async_wait([server, signals](const std::error_code& waitError, int signalNumber) {
        if (waitError)
            return;
        char line[160];
        if (!server->draining) {
            FormatText(line, sizeof line,
                       "feed-server: stopping on signal %d: no new connections; %lu under way get %d ms to finish",
                       signalNumber, (unsigned long)server->live.size(), server->options.drainMs);
            LogLine(server->log, line);
            Drain(server, server->options.drainMs);
        } else {
            FormatText(line, sizeof line, "feed-server: signal %d again: cutting the %lu connections left", signalNumber,
                       (unsigned long)server->live.size());
            LogLine(server->log, line);
            CutConnections(server);
        }
        WaitForStop(server, signals);
    });
}

#ifdef SIGHUP
// Reloads are made on a thread beside the serving one, one job at a time, so that serving never waits
// for them: reading and checking a new catalog, and freeing the catalogs it replaced once no reply
// holds them any more (tens of milliseconds for a big one). Only the switch, one assignment, happens
// on the serving thread.
struct Reload {
    std::thread worker;
    bool busy = false;    // the worker has a job
    bool wanted = false;  // a SIGHUP came and its reload has not started
    std::vector<std::shared_ptr<const Catalog>> retired;  // replaced, or refused, and not yet freed
    asio::steady_timer* retiredCheck = nullptr;
    bool checking = false;
};

struct ReloadResult {
    std::shared_ptr<Catalog> catalog = std::make_shared<Catalog>();
    std::vector<CatalogError> errors;
    bool loaded = false;
};

// How often replaced catalogs are looked at, to be freed once the last reply from them has gone.
const int kRetiredCheckMs = 200;

void NextJob(Server* server, Reload* reload);

void JobDone(Server* server, Reload* reload)
{
    reload->worker.join();
    reload->busy = false;
    NextJob(server, reload);
}

// On the serving thread: the new catalog goes into force when it is sound; otherwise the log says
// why, in the form --check prints, and the one in force stays.
void FinishReload(Server* server, Reload* reload, ReloadResult* result)
{
    const std::string& dir = server->options.catalog;
    for (const CatalogError& warning : result->catalog->warnings)
        LogLine(server->log, ("feed-server: " + FormatCatalogError(warning)).c_str());
    server->lastReloadTime = time(nullptr);
    server->lastReloadOk = result->loaded;
    if (result->loaded) {
        ++server->catalogGeneration;
        LogCatalogSummary(server->log, dir, *result->catalog, " reloaded");
        reload->retired.push_back(std::move(server->catalog));
        server->catalog = std::move(result->catalog);
        server->pages = PageCache();
    } else {
        for (const CatalogError& error : result->errors)
            LogLine(server->log, ("feed-server: " + FormatCatalogError(error)).c_str());
        if (result->errors.size() >= kCatalogErrorsMax)
            LogLine(server->log, "feed-server: more errors not shown");
        LogLine(server->log,
                ("feed-server: catalog " + TerminalSafe(dir) + " not reloaded; the one in force stays").c_str());
        reload->retired.push_back(std::move(result->catalog));
    }
    JobDone(server, reload);
}

void NextJob(Server* server, Reload* reload)
{
    if (reload->busy)
        return;
    std::vector<std::shared_ptr<const Catalog>> unused;
    for (auto at = reload->retired.begin(); at != reload->retired.end();) {
        if (at->use_count() == 1) {
            unused.push_back(std::move(*at));
            at = reload->retired.erase(at);
        } else {
            ++at;
        }
    }
    if (!unused.empty()) {
        reload->busy = true;
        reload->worker = std::thread([server, reload](std::vector<std::shared_ptr<const Catalog>> catalogs) {
            catalogs.clear();
            asio::post(*server->io, [server, reload] { JobDone(server, reload); });
        }, std::move(unused));
    } else if (reload->wanted) {
        reload->wanted = false;
        reload->busy = true;
        LogLine(server->log, "feed-server: reloading the catalog");
        const std::string dir = server->options.catalog;
        reload->worker = std::thread([server, reload, dir] {
            std::shared_ptr<ReloadResult> result = std::make_shared<ReloadResult>();
            result->loaded = LoadCatalog(dir, result->catalog.get(), &result->errors, server->catalogRules);
            asio::post(*server->io, [server, reload, result] { FinishReload(server, reload, result.get()); });
        });
    }
    if (!reload->retired.empty() && !reload->checking) {
        reload->checking = true;
        reload->retiredCheck->expires_after(std::chrono::milliseconds(kRetiredCheckMs));
        reload->retiredCheck->async_wait([server, reload](const std::error_code& ec) {
            reload->checking = false;
            if (!ec)
                NextJob(server, reload);
        });
    }
}

void WaitForReload(Server* server, Reload* reload, asio::signal_set* signals)
{
    signals->async_wait([server, reload, signals](const std::error_code& waitError, int) {
        if (waitError)
            return;
        if (!server->draining) {
            reload->wanted = true;
            NextJob(server, reload);
        }
        WaitForReload(server, reload, signals);
    });
}
#endif

// Ends the process once the log is written; an output that never takes it must not keep the process.
int Exit(ServerLog* log, int status)
{
    if (!LogFinish(log, kLogFlushMs)) {
        fflush(stderr);
        _exit(status);
    }
    return status;
}

} // namespace

int main(int argc, char** argv)
{
#ifdef SIGPIPE
    // A log reader that went away must not take the server with it; writes then fail instead.
    signal(SIGPIPE, SIG_IGN);
#endif
    ServerOptions options;
    const int optionStatus = ParseServerOptions(argc, argv, &options);
    if (optionStatus != 0)
        return optionStatus < 0 ? 0 : optionStatus;
    CatalogRules rules;
    rules.requireHashedKeys = options.requireHashedKeys;
    rules.allowShortKeys = options.allowShortKeys;
    if (!options.keySecret.empty()) {
        std::string why;
        KeySecretPointer secret = LoadKeySecret(options.keySecret, &why);
        if (secret == nullptr) {
            fprintf(stderr, "feed-server: the key secret %s %s\n", TerminalSafe(options.keySecret).c_str(), why.c_str());
            return 1;
        }
        rules.keySecret = std::move(secret);
    }
    if (options.hashKey)
        return HashKey(options, *rules.keySecret);
    // The log outlives everything that writes to it.
    ServerLog log;
    LogStart(&log);

    const std::shared_ptr<const Catalog> catalog = LoadAndReport(options.catalog, rules);
    if (catalog == nullptr)
        return Exit(&log, 1);
    LogCatalogSummary(&log, options.catalog, *catalog);
    if (options.check) {
        // What is left to do before --require-hashed-keys can be turned on.
        char line[160];
        FormatText(line, sizeof line, "feed-server: %lu of %lu accounts still hold a plain key",
                   (unsigned long)catalog->plainKeys, (unsigned long)catalog->accounts.size());
        LogLine(&log, line);
        return Exit(&log, 0);
    }

    std::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(options.address, ec);
    if (ec) {
        fprintf(stderr, "feed-server: %s is not a dotted IPv4 address\n", TerminalSafe(options.address).c_str());
        return Exit(&log, 2);
    }
    asio::io_context io(1);
    tcp::acceptor acceptor(io);
    asio::steady_timer acceptRetry(io);
    asio::steady_timer drainTimer(io);
    asio::steady_timer sweep(io);
    ec = Listen(&acceptor, tcp::endpoint(address, options.port));
    if (ec) {
        fprintf(stderr, "feed-server: cannot listen on %s:%u: %s\n", options.address.c_str(),
                (unsigned)options.port, ec.message().c_str());
        return Exit(&log, 1);
    }
    // After io, so that the connections it holds go before the io_context they were made on.
    Server server;
    server.io = &io;
    server.acceptor = &acceptor;
    server.acceptRetry = &acceptRetry;
    server.drainTimer = &drainTimer;
    server.sweep = &sweep;
    server.catalog = catalog;
    server.options = options;
    server.catalogRules = rules;
    server.startTime = time(nullptr);
    server.lastReloadTime = server.startTime;
    // The slots of unknown ids are keyed afresh at each start, so that no id can be picked to share one.
    std::random_device random;
    server.accountGuard.hashKey = ((unsigned long long)random() << 32) ^ random();
    server.log = &log;

    asio::signal_set signals(io, SIGINT, SIGTERM);
#ifdef SIGBREAK
    signals.add(SIGBREAK, ec);
#endif
    WaitForStop(&server, &signals);
#ifdef SIGHUP
    Reload reload;
    asio::steady_timer retiredCheck(io);
    reload.retiredCheck = &retiredCheck;
    asio::signal_set reloads(io, SIGHUP);
    WaitForReload(&server, &reload, &reloads);
#endif

    std::string proxies;
    for (unsigned trusted : options.trustedProxies)
        proxies += (proxies.empty() ? "; PROXY headers from " : ", ") + asio::ip::address_v4(trusted).to_string();
    char line[640];
    FormatText(line, sizeof line,
               "feed-server: listening on %s:%u (at most %d connections, %d silent per address; %d ms per request, "
               "replies cut after %d ms without progress, %d ms to drain%s)",
               options.address.c_str(), (unsigned)options.port, options.maxConnections,
               options.maxSilentPerAddress, options.requestTimeoutMs, options.replyIdleMs, options.drainMs,
               proxies.c_str());
    LogLine(&log, line);
    StartAccepting(&server);
    io.run();
#ifdef SIGHUP
    if (reload.worker.joinable())
        reload.worker.join();
#endif
    LogLine(&log, "feed-server: stopped");
    return Exit(&log, 0);
}
