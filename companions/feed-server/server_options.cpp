// Reading the feed server's options; every value is checked here, so the rest of the server takes
// them as they are.
#include "server_options.h"

#include <asio/ip/address_v4.hpp>

#include <stdio.h>

#include "feed_text.h"

namespace {

void Usage(FILE* out)
{
    fprintf(out,
            "usage: feed-server --catalog DIR [--address 127.0.0.1] [--port %d] [--max-connections N]\n"
            "                   [--max-silent-per-address N] [--request-timeout-ms N] [--reply-idle-ms N]\n"
            "                   [--max-replies-per-address N] [--min-send-rate BYTES_PER_S] [--drain-ms N]\n"
            "                   [--trusted-proxy ADDRESS ...] [--metrics-from ADDRESS ...] [--key-secret FILE]\n"
            "                   [--require-hashed-keys] [--allow-short-keys] [--check]\n"
            "       feed-server --hash-key --key-secret FILE [--allow-short-keys]   (the key on stdin)\n",
            (int)FEED_PORT);
}

// With --hash-key anything but its own options may be the key typed on the command line: it is
// refused without being repeated.
bool HashKeyArgumentsOk(int argc, char** argv)
{
    bool hashKey = false;
    for (int i = 1; i < argc; ++i)
        hashKey = hashKey || std::string(argv[i]) == "--hash-key";
    for (int i = 1; hashKey && i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--key-secret" && i + 1 < argc)
            ++i;
        else if (name != "--hash-key" && name != "--allow-short-keys") {
            fputs("feed-server: --hash-key reads the key on standard input and takes only --key-secret FILE and "
                  "--allow-short-keys besides\n", stderr);
            return false;
        }
    }
    return true;
}

} // namespace

int ParseServerOptions(int argc, char** argv, ServerOptions* options)
{
    if (!HashKeyArgumentsOk(argc, argv))
        return 2;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            Usage(stdout);
            return -1;
        }
        bool* flag = name == "--check" ? &options->check
                     : name == "--hash-key" ? &options->hashKey
                     : name == "--require-hashed-keys" ? &options->requireHashedKeys
                     : name == "--allow-short-keys" ? &options->allowShortKeys
                     : nullptr;
        if (flag != nullptr) {
            *flag = true;
            continue;
        }
        if (name == "--categories" || name == "--currencies") {
            fprintf(stderr, "feed-server: %s is no longer taken: category and currency names are built in\n",
                    name.c_str());
            return 2;
        }
        if (i + 1 >= argc) {
            fprintf(stderr, "feed-server: %s needs a value\n", TerminalSafe(name).c_str());
            return 2;
        }
        const char* value = argv[++i];
        long number = 0;
        std::error_code ec;
        const asio::ip::address_v4 address = asio::ip::make_address_v4(value, ec);
        if (name == "--catalog") {
            options->catalog = value;
        } else if (name == "--key-secret") {
            options->keySecret = value;
        } else if (name == "--address") {
            options->address = value;
        } else if (name == "--port" && ParseNumber(value, 1, 65535, &number)) {
            options->port = (unsigned short)number;
        } else if (name == "--max-connections" && ParseNumber(value, 1, 100000, &number)) {
            options->maxConnections = (int)number;
        } else if (name == "--max-silent-per-address" && ParseNumber(value, 1, 100000, &number)) {
            options->maxSilentPerAddress = (int)number;
        } else if (name == "--request-timeout-ms" && ParseNumber(value, 1, 3600000, &number)) {
            options->requestTimeoutMs = (int)number;
        } else if (name == "--reply-idle-ms" && ParseNumber(value, 1, 3600000, &number)) {
            options->replyIdleMs = (int)number;
        } else if (name == "--max-replies-per-address" && ParseNumber(value, 1, 100000, &number)) {
            options->maxRepliesPerAddress = (int)number;
        } else if (name == "--min-send-rate" && ParseNumber(value, 0, 1000L * 1000 * 1000, &number)) {
            options->minSendRate = (int)number;
        } else if (name == "--drain-ms" && ParseNumber(value, 0, 3600000, &number)) {
            options->drainMs = (int)number;
        } else if (name == "--trusted-proxy" && !ec) {
            options->trustedProxies.push_back(address.to_uint());
        } else if (name == "--metrics-from" && !ec) {
            options->metricsFrom.push_back(address.to_uint());
        } else {
            fprintf(stderr, "feed-server: bad option %s %s\n", TerminalSafe(name).c_str(), TerminalSafe(value).c_str());
            Usage(stderr);
            return 2;
        }
    }
    if (options->hashKey) {
        if (options->keySecret.empty()) {
            fputs("feed-server: --hash-key needs --key-secret FILE\n", stderr);
            return 2;
        }
        return 0;
    }
    if (options->catalog.empty()) {
        fputs("feed-server: --catalog DIR is required\n", stderr);
        Usage(stderr);
        return 2;
    }
    return 0;
}
