// The accept loop that keeps to the cap, and the ways to stop: no more accepts, cutting what is left,
// and the drain between them. What a connection does once taken is in connection.cpp.
#include "connections.h"

#include <chrono>

#ifdef __linux__
#include <netinet/in.h>
#include <netinet/tcp.h>
#endif

#include "connection.h"

using asio::ip::tcp;

namespace {

void Accept(Server* server);

// Takes the next connection from the listen queue when there is room; at the cap the rest wait there.
void AcceptIfRoom(Server* server)
{
    if (!server->accepting && !server->stopping && (int)server->live.size() < server->options.maxConnections)
        Accept(server);
}

} // namespace

long long ListenQueueLength(const Server* server)
{
#ifdef __linux__
    // For a listening socket Linux reports the accept queue's length as the unacknowledged count.
    if (!server->acceptor->is_open())
        return -1;
    struct tcp_info info;
    socklen_t size = sizeof info;
    if (getsockopt(server->acceptor->native_handle(), IPPROTO_TCP, TCP_INFO, &info, &size) != 0)
        return -1;
    return (long long)info.tcpi_unacked;
#else
    (void)server;
    return -1;
#endif
}

void ConnectionEnded(Server* server)
{
    AcceptIfRoom(server);
    // The drain ends once the last connection has gone.
    if (!server->draining || !server->live.empty())
        return;
    server->drainTimer->cancel();
    server->io->stop();
}

namespace {

void OnAccept(Server* server, const std::error_code& ec, tcp::socket socket)
{
    server->accepting = false;
    if (server->stopping) {
        // Accepted as the drain began: connected, so served like the rest (closed if already cut).
        if (!ec && !server->cut)
            Admit(server, std::move(socket), server->acceptedPeer);
        return;
    }
    if (ec) {
        if (ec == asio::error::operation_aborted)
            return;
        // Out of descriptors or memory: wait a little rather than spin on the failing accept.
        server->acceptRetry->expires_after(std::chrono::milliseconds(100));
        server->acceptRetry->async_wait([server](const std::error_code& waitError) {
            if (!waitError)
                AcceptIfRoom(server);
        });
        return;
    }
    Admit(server, std::move(socket), server->acceptedPeer);
    AcceptIfRoom(server);
}

void Accept(Server* server)
{
    server->accepting = true;
    server->acceptor->async_accept(server->acceptedPeer, [server](const std::error_code& ec, tcp::socket socket) {
        OnAccept(server, ec, std::move(socket));
    });
}

} // namespace

void StartAccepting(Server* server)
{
    Accept(server);
}

void StopAccepting(Server* server)
{
    server->stopping = true;
    std::error_code ignored;
    server->acceptor->close(ignored);
    server->acceptRetry->cancel();
}

void CutConnections(Server* server)
{
    server->cut = true;
    const std::set<ConnectionPtr> live = server->live;
    for (const ConnectionPtr& c : live)
        EndConnection(c);
}

void Drain(Server* server, int drainMs)
{
    if (drainMs > 0 && !server->stopping) {
        // Whatever the system has already connected for us waits in the listen queue, whatever the
        // cap: each of those clients may have sent its request, and closing the queue would reset it.
        std::error_code ec;
        server->acceptor->non_blocking(true, ec);
        while (!ec) {
            tcp::socket socket(*server->io);
            tcp::endpoint peer;
            server->acceptor->accept(socket, peer, ec);
            if (!ec)
                Admit(server, std::move(socket), peer);
        }
    }
    StopAccepting(server);
    server->draining = true;
    if (drainMs == 0) {
        CutConnections(server);
    } else {
        server->drainTimer->expires_after(std::chrono::milliseconds(drainMs));
        server->drainTimer->async_wait([server](const std::error_code& ec) {
            if (!ec)
                CutConnections(server);
        });
    }
    ConnectionEnded(server);
}
