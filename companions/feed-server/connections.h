// The feed server's connections: taken from the listen queue up to the cap, each request read (after
// the PROXY header of a trusted balancer), answered from the catalog in force and its reply sent,
// with all of their state in one Server; and the two ways to stop: draining, or cutting at once.
#pragma once

#include <asio.hpp>

#include <map>
#include <memory>
#include <set>

#include "feed_catalog.h"
#include "feed_guard.h"
#include "feed_request.h"
#include "server_log.h"
#include "server_metrics.h"
#include "server_options.h"

// One client's connection, from its accept to its close (connections.cpp).
struct Connection;

// What serving needs, all of it. It is touched only by the thread that runs io (the log's queue, shared
// with its writer thread, keeps its own lock), so nothing here needs a lock.
struct Server {
    asio::io_context* io = nullptr;
    asio::ip::tcp::acceptor* acceptor = nullptr;  // already listening
    asio::steady_timer* acceptRetry = nullptr;     // the pause after a failed accept
    asio::steady_timer* drainTimer = nullptr;      // the end of the drain, when replies still going are cut
    asio::steady_timer* sweep = nullptr;           // the look at the connections' time limits
    asio::ip::tcp::endpoint acceptedPeer;          // the peer of the accept under way
    // The catalog in force. A connection takes its own reference when it answers and keeps it until
    // its reply has gone, so another catalog is put in force by one assignment here: replies already
    // answered keep theirs, later requests are answered from the new one.
    std::shared_ptr<const Catalog> catalog;
    PageCache pages;  // pages as rendered, of the catalog in force (started afresh when it is replaced)
    ServerOptions options;
    CatalogRules catalogRules;  // what every load of the catalog is held to, the key secret among them
    ServerLog* log = nullptr;
    ServerMetrics metrics;           // what GET /metrics tells the addresses of --metrics-from
    long long catalogGeneration = 1; // the catalog in force: 1 at start, one more for each reload
    time_t lastReloadTime = 0;       // the last load or reload tried
    bool lastReloadOk = true;
    time_t startTime = 0;
    std::set<std::shared_ptr<Connection>> live;
    std::map<AddressKey, int> silentByAddress;  // connections per address still waiting for their request
    std::map<AddressKey, int> longRepliesByAddress;  // replies longer than the send buffer still being written
    KeyGuard keyGuard;          // failed key checks per client address
    AccountGuard accountGuard;  // and per account named, from any address
    bool accepting = false;  // an accept is under way
    bool sweeping = false;   // the next look at the time limits is due
    bool stopping = false;   // no more connections are taken (the health check answers 503)
    bool draining = false;   // the process ends once the last connection has
    bool cut = false;        // what was left has been cut
};

// Connections waiting in the listen queue, where the system says (Linux); else -1.
long long ListenQueueLength(const Server* server);

// Starts taking connections from the listen queue; from here on io serves them.
void StartAccepting(Server* server);

// Takes no more connections: closes the listening socket. The connections already taken go on.
void StopAccepting(Server* server);

// Ends every connection still open: a reply being sent is cut (logged as cut, ended with a reset),
// the others are closed.
void CutConnections(Server* server);

// Stops taking connections at once (those already waiting in the listen queue are taken first: they
// are connected, and closing the queue would reset them) and lets the connections taken finish for
// up to drainMs, then cuts what is left. Once none is left, io is stopped.
void Drain(Server* server, int drainMs);
