// The metrics families and their text form.
#include "server_metrics.h"

#include <string.h>

namespace {

void Family(std::string* out, const char* name, const char* type, const char* help)
{
    *out += std::string("# HELP ") + name + " " + help + "\n# TYPE " + name + " " + type + "\n";
}

void Sample(std::string* out, const char* name, const std::string& labels, unsigned long long value)
{
    *out += name;
    if (!labels.empty())
        *out += "{" + labels + "}";
    *out += " " + std::to_string(value) + "\n";
}

void Gauge(std::string* out, const char* name, const char* help, long long value)
{
    Family(out, name, "gauge", help);
    *out += std::string(name) + " " + std::to_string(value) + "\n";
}

} // namespace

void CountRequest(ServerMetrics* metrics, const char* kind, const char* result, size_t bytes)
{
    ++metrics->requests[std::string(kind) + " " + result];
    metrics->replyBytes[kind] += bytes;
}

std::string RenderMetrics(const ServerMetrics& metrics, const ServerGauges& gauges)
{
    std::string out;
    out.reserve(4096);
    // Kinds and results are the log's own words: letters and dashes, nothing to escape in a label.
    Family(&out, "feed_server_requests_total", "counter", "Requests ended, by kind and result (as the log says).");
    for (const auto& entry : metrics.requests) {
        const size_t blank = entry.first.find(' ');
        Sample(&out, "feed_server_requests_total",
               "kind=\"" + entry.first.substr(0, blank) + "\",result=\"" + entry.first.substr(blank + 1) + "\"",
               entry.second);
    }
    const auto feeds = metrics.requests.find("feed ok");
    Family(&out, "feed_server_feeds_served_total", "counter", "Feeds sent whole.");
    Sample(&out, "feed_server_feeds_served_total", "", feeds == metrics.requests.end() ? 0 : feeds->second);
    Family(&out, "feed_server_sent_bytes_total", "counter", "Reply bytes the system took, by kind of request.");
    for (const auto& entry : metrics.replyBytes)
        Sample(&out, "feed_server_sent_bytes_total", "kind=\"" + entry.first + "\"", entry.second);
    Family(&out, "feed_server_replies_cut_total", "counter",
           "Replies cut with a reset: idle (nothing taken), slow (below the minimum rate), stopping.");
    for (const char* reason : {"idle", "slow", "stopping"}) {
        const auto found = metrics.cuts.find(reason);
        Sample(&out, "feed_server_replies_cut_total", std::string("reason=\"") + reason + "\"",
               found == metrics.cuts.end() ? 0 : found->second);
    }
    Family(&out, "feed_server_key_checks_total", "counter", "Keys checked, by result (failed: wrong key or unknown account).");
    Sample(&out, "feed_server_key_checks_total", "result=\"ok\"", metrics.keyChecksOk);
    Sample(&out, "feed_server_key_checks_total", "result=\"failed\"", metrics.keyChecksFailed);
    Family(&out, "feed_server_lockouts_total", "counter",
           "Lockouts from key checks: of a client address, and holds of an account past its budget.");
    Sample(&out, "feed_server_lockouts_total", "scope=\"address\"", metrics.addressLockouts);
    Sample(&out, "feed_server_lockouts_total", "scope=\"account\"", metrics.accountHolds);
    Family(&out, "feed_server_account_lockout_episodes_total", "counter",
           "Episodes of an account over its budget of failed key checks (each logged once).");
    Sample(&out, "feed_server_account_lockout_episodes_total", "", metrics.accountEpisodes);
    Gauge(&out, "feed_server_connections_open", "Connections taken and not yet closed.", gauges.connectionsOpen);
    if (gauges.connectionsQueued >= 0)
        Gauge(&out, "feed_server_connections_queued", "Connections waiting in the listen queue.",
              gauges.connectionsQueued);
    Gauge(&out, "feed_server_draining", "1 once the server has begun to stop.", gauges.draining ? 1 : 0);
    Gauge(&out, "feed_server_catalog_generation", "The catalog in force: 1 at start, one more for each reload.",
          gauges.catalogGeneration);
    Gauge(&out, "feed_server_catalog_accounts", "Accounts of the catalog in force.", gauges.catalogAccounts);
    Gauge(&out, "feed_server_catalog_products", "Products of the catalog in force.", gauges.catalogProducts);
    Gauge(&out, "feed_server_catalog_last_reload_timestamp_seconds",
          "When the catalog was last loaded or a reload was tried (Unix time).", (long long)gauges.lastReloadTime);
    Gauge(&out, "feed_server_catalog_last_reload_success", "1 when the last load or reload went into force, 0 when refused.",
          gauges.lastReloadOk ? 1 : 0);
    Gauge(&out, "feed_server_start_time_seconds", "When the server started (Unix time).", (long long)gauges.startTime);
    return out;
}
