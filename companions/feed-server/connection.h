// One client's connection, from its accept to its close (connection.cpp), as the accept loop and the
// stopping in connections.cpp see it.
#pragma once

#include <asio.hpp>

#include <memory>

#include "connections.h"

using ConnectionPtr = std::shared_ptr<Connection>;

// Serves a connection just taken from the listen queue, from peer.
void Admit(Server* server, asio::ip::tcp::socket socket, const asio::ip::tcp::endpoint& peer);

// Ends the connection now: a reply being sent is cut (logged as cut, ended with a reset), any other
// connection is closed.
void EndConnection(const ConnectionPtr& c);

// Called once a connection has ended (connections.cpp): takes the next one from the listen queue when
// there is room, and ends the drain once none is left.
void ConnectionEnded(Server* server);
