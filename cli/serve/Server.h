// velmora-brand serve's HTTP server: Boost.Beast parses and answers, and the
// unchanged bytes of a master go from the page cache to the socket with
// sendfile; only the 1000-byte data area passes through the program.
#pragma once

#include "Text.h"

#include <cstdint>
#include <map>
#include <string>

namespace cli::serve {

struct ServeOptions
{
    std::string host = "127.0.0.1";
    unsigned short port = 8080;
    std::map<std::string, std::string> products;  // name in links -> master's path
    std::string table;
    CodePage codePage;
    std::string linkKey;  // empty: links carry no MAC
    bool unknownServesMaster = false;
    std::string accessLog;  // empty: standard output
    unsigned threads = 1;
    size_t maxConnections = 1024;
    size_t maxPerClient = 64;
    size_t headerLimit = 8192;
    unsigned requestTimeout = 10;  // seconds for a request's header to arrive
    unsigned idleTimeout = 30;     // seconds a kept-alive connection may wait
    uint64_t minRate = 1024;       // bytes a second a transfer must move, over each window
    unsigned rateWindow = 10;      // seconds
    unsigned drainSeconds = 30;    // how long transfers in flight may finish after SIGTERM
    unsigned watchMillis = 1000;   // how often the masters and the table are looked at
};

// Runs the server until SIGTERM or SIGINT; the exit code.
int Serve(const ServeOptions& options);

// The MAC a link carries: HMAC-SHA256 of the id and the product under key,
// the first 128 bits in hex.
std::string LinkMac(const std::string& key, const std::string& id, const std::string& product);
// A path segment with everything but unreserved characters percent-encoded.
std::string PercentEncode(const std::string& s);

}  // namespace cli::serve
