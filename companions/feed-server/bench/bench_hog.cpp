// The hog's silent connections: connect, say nothing, and open another as soon as one is cut.
#include "bench_hog.h"

#include <stdio.h>

void HogConnect(BenchRun* run, const ClientPtr& h)
{
    if (run->hardStop || BenchClock::now() >= run->deadline)
        return;
    if (!OpenSocket(h->socket, run->options.hogSource)) {
        h->pause.expires_after(std::chrono::milliseconds(10));
        h->pause.async_wait([run, h](const std::error_code& ec) {
            if (!ec)
                HogConnect(run, h);
        });
        return;
    }
    ++run->hogOpened;
    h->socket.async_connect(run->endpoint, [run, h](const std::error_code& connectError) {
        if (connectError) {
            std::error_code ignored;
            h->socket.close(ignored);
            HogConnect(run, h);
            return;
        }
        h->socket.async_read_some(asio::buffer(h->chunk), [run, h](const std::error_code& ec, size_t) {
            if (ec == asio::error::operation_aborted && run->hardStop)
                return;
            ++run->hogCut;
            std::error_code ignored;
            h->socket.close(ignored);
            HogConnect(run, h);
        });
    });
}

void PrintHogFigures(const BenchRun& run)
{
    printf("hog        %d silent connections from %s: %zu opened, %zu cut by the server\n", run.options.hog,
           run.options.hogSource.c_str(), run.hogOpened, run.hogCut);
}
