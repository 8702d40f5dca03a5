// The pieces every case of the bench uses.
#include "bench_run.h"

using asio::ip::tcp;

double SecondsSinceStart(const BenchRun& run)
{
    return std::chrono::duration<double>(BenchClock::now() - run.started).count();
}

bool OpenSocket(tcp::socket& socket, const std::string& source)
{
    std::error_code ec;
    socket.open(tcp::v4(), ec);
    if (!ec && !source.empty())
        socket.bind(tcp::endpoint(asio::ip::make_address_v4(source, ec), 0), ec);
    if (ec) {
        std::error_code ignored;
        socket.close(ignored);
        return false;
    }
    return true;
}
