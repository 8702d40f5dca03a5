// What the server has done and how it stands, counted as it serves and written out for GET /metrics in
// the Prometheus text exposition format (version 0.0.4). Pure bookkeeping: the server fills it.
#pragma once

#include <time.h>

#include <map>
#include <string>

struct ServerMetrics {
    std::map<std::string, unsigned long long> requests;    // "kind result" -> requests ended so
    std::map<std::string, unsigned long long> replyBytes;  // kind -> bytes sent
    std::map<std::string, unsigned long long> cuts;        // reason (idle, slow, stopping) -> replies cut
    unsigned long long keyChecksOk = 0;
    unsigned long long keyChecksFailed = 0;
    unsigned long long addressLockouts = 0;  // lockouts of a client address (each one)
    unsigned long long accountHolds = 0;     // holds of an account's key checks (each one)
    unsigned long long accountEpisodes = 0;  // of which the first of an episode over the budget
};

// The gauges, read when the metrics are asked for.
struct ServerGauges {
    long long connectionsOpen = 0;
    long long connectionsQueued = -1;   // waiting in the listen queue; -1 when the system does not say
    long long catalogGeneration = 0;    // 1 for the catalog loaded at start, +1 for each reload put in force
    long long catalogAccounts = 0;
    long long catalogProducts = 0;
    time_t lastReloadTime = 0;          // the last load or reload attempt (the start's load, at first)
    bool lastReloadOk = true;
    time_t startTime = 0;
    bool draining = false;
};

// Counts one request as it ends (the log line's kind, result and bytes).
void CountRequest(ServerMetrics* metrics, const char* kind, const char* result, size_t bytes);

// The exposition text: every family with its HELP and TYPE, counters with _total.
std::string RenderMetrics(const ServerMetrics& metrics, const ServerGauges& gauges);
