// Reading feed-server-bench's options; values out of their range are refused here, so the load cases
// take them as they are.
#include "bench_options.h"

#include <asio.hpp>

#include <stdio.h>

#include "feed_text.h"

namespace {

void Usage()
{
    fprintf(stderr,
            "usage: feed-server-bench [--address 127.0.0.1] [--port %d] [--clients 1..2000] [--seconds 1..300]\n"
            "                         [--feed ID^KEY | --page PATH^ID^KEY] [--source A]\n"
            "                         [--at-once] [--hog N [--hog-source A]] [--slow-reader BYTES_PER_S] [--guess ID]\n"
            "                         [--sources N (with --source)] [--pause-ms N]\n",
            (int)FEED_PORT);
}

} // namespace

bool ParseBenchOptions(int argc, char** argv, BenchOptions* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--at-once") {
            options->atOnce = true;
            continue;
        }
        if (i + 1 >= argc) {
            Usage();
            return false;
        }
        const char* value = argv[++i];
        long number = 0;
        std::error_code ec;
        if (name == "--address") {
            options->address = value;
        } else if (name == "--source" && (asio::ip::make_address_v4(value, ec), !ec)) {
            options->source = value;
        } else if (name == "--hog-source" && (asio::ip::make_address_v4(value, ec), !ec)) {
            options->hogSource = value;
        } else if (name == "--port" && ParseNumber(value, 1, 65535, &number)) {
            options->port = (unsigned short)number;
        } else if (name == "--clients" && ParseNumber(value, 1, 2000, &number)) {
            options->clients = (int)number;
        } else if (name == "--sources" && ParseNumber(value, 1, 65536, &number)) {
            options->sources = (int)number;
        } else if (name == "--pause-ms" && ParseNumber(value, 0, 60000, &number)) {
            options->pauseMs = (int)number;
        } else if (name == "--seconds" && ParseNumber(value, 1, 900, &number)) {
            options->seconds = (int)number;
        } else if (name == "--hog" && ParseNumber(value, 1, 2000, &number)) {
            options->hog = (int)number;
        } else if (name == "--slow-reader" && ParseNumber(value, 1, 1000L * 1000 * 1000, &number)) {
            options->slowRate = number;
        } else if (name == "--guess" && *value != '\0') {
            options->guessId = value;
        } else if (name == "--feed") {
            options->request = std::string(FEED_REQUEST_PREFIX) + value + "\r\n";
        } else if (name == "--page") {
            options->request = std::string("GET /") + value + " HTTP/1.0\r\n\r\n";
        } else {
            Usage();
            return false;
        }
    }
    if (options->sources > 1 && options->source.empty()) {
        Usage();
        return false;
    }
    return true;
}
