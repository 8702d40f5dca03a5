// feed-server: serves the viewer's feed ("VNP,<id>^<key>") and the product pages its link menu hands to
// the browser, from a catalog directory, on one TCP port; one log line per request on stdout.
#include <asio.hpp>

#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <memory>
#include <set>
#include <string>
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
std::shared_ptr<const Catalog> LoadAndReport(const std::string& dir)
{
    std::shared_ptr<Catalog> catalog = std::make_shared<Catalog>();
    std::vector<CatalogError> errors;
    const bool loaded = LoadCatalog(dir, catalog.get(), &errors);
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

void LogCatalogSummary(const std::string& dir, const Catalog& catalog)
{
    size_t categories = 0;
    const std::string currencies = CurrenciesUsed(catalog, &categories);
    char line[512];
    FormatText(line, sizeof line, "feed-server: catalog %s: %lu accounts, %lu products in %lu categories; currencies %s",
               TerminalSafe(dir).c_str(), (unsigned long)catalog.accounts.size(),
               (unsigned long)catalog.productCount, (unsigned long)categories, currencies.c_str());
    LogLine(line);
}

// Opens, binds and listens; the queue is the longest the system allows (4096 on Linux, its own
// maximum on Windows): at the cap, a crowd waits there to be taken in turn.
std::error_code Listen(tcp::acceptor* acceptor, const tcp::endpoint& endpoint)
{
    std::error_code ec;
    acceptor->open(endpoint.protocol(), ec);
    if (!ec)
        acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
    if (!ec)
        acceptor->bind(endpoint, ec);
    if (!ec)
        acceptor->listen(asio::socket_base::max_listen_connections, ec);
    return ec;
}

void Stop(Server* server, int signalNumber)
{
    char line[64];
    FormatText(line, sizeof line, "feed-server: stopping on signal %d", signalNumber);
    LogLine(line);
    StopAccepting(server);
    CutConnections(server);
}

// Ends the process once the log is written; an output that never takes it must not keep the process.
int Exit(int status)
{
    if (!LogFinish(kLogFlushMs)) {
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
    LogStart();

    const std::shared_ptr<const Catalog> catalog = LoadAndReport(options.catalog);
    if (catalog == nullptr)
        return Exit(1);
    LogCatalogSummary(options.catalog, *catalog);
    if (options.check)
        return Exit(0);

    std::error_code ec;
    const asio::ip::address_v4 address = asio::ip::make_address_v4(options.address, ec);
    if (ec) {
        fprintf(stderr, "feed-server: %s is not a dotted IPv4 address\n", TerminalSafe(options.address).c_str());
        return Exit(2);
    }
    asio::io_context io(1);
    tcp::acceptor acceptor(io);
    asio::steady_timer acceptRetry(io);
    ec = Listen(&acceptor, tcp::endpoint(address, options.port));
    if (ec) {
        fprintf(stderr, "feed-server: cannot listen on %s:%u: %s\n", options.address.c_str(),
                (unsigned)options.port, ec.message().c_str());
        return Exit(1);
    }
    // After io, so that the connections it holds go before the io_context they were made on.
    Server server;
    server.io = &io;
    server.acceptor = &acceptor;
    server.acceptRetry = &acceptRetry;
    server.catalog = catalog;
    server.options = options;

    asio::signal_set signals(io, SIGINT, SIGTERM);
#ifdef SIGBREAK
    signals.add(SIGBREAK, ec);
#endif
    signals.async_wait([&server](const std::error_code& waitError, int signalNumber) {
        if (!waitError)
            Stop(&server, signalNumber);
    });

    char line[512];
    FormatText(line, sizeof line,
               "feed-server: listening on %s:%u (at most %d connections, %d silent per address; %d ms per request, "
               "replies cut after %d ms without progress)",
               options.address.c_str(), (unsigned)options.port, options.maxConnections,
               options.maxSilentPerAddress, options.requestTimeoutMs, options.replyIdleMs);
    LogLine(line);
    StartAccepting(&server);
    io.run();
    LogLine("feed-server: stopped");
    return Exit(0);
}
