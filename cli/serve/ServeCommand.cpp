// velmora-brand serve and velmora-brand link: a branded copy per download, and
// the links that ask for one.
#include "Commands.h"
#include "Server.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace cli {

namespace {

constexpr const char* kServeHelp =
    "usage: velmora-brand serve --product NAME=MASTER.exe [--product ...]\n"
    "                           --affiliates TABLE --listen HOST:PORT [--link-key FILE]\n"
    "                           [--unknown master] [--access-log FILE] [--codepage N|bytes]\n"
    "                           [--threads N (half the cores)] [--max-connections N]\n"
    "                           [--max-per-client N]\n"
    "                           [--request-timeout S] [--idle-timeout S] [--min-rate BYTES]\n"
    "                           [--rate-window S] [--drain S]\n"
    "\n"
    "Serves GET and HEAD /download/<id>/<product>.exe: the master of the product,\n"
    "branded with the row of the affiliate id as it is sent. With --link-key, a link\n"
    "is /download/<id>/<mac>/<product>.exe, where mac is the HMAC-SHA256 of the id and\n"
    "the product under the key (see velmora-brand link); a link without a valid one\n"
    "is answered 404. GET /healthz answers 200 while the masters and the table are\n"
    "loaded.\n"
    "\n"
    "TABLE is a CSV file (columns id,name,link,cbid,mirrowen,quillburn; id, name and\n"
    "link required), held in memory and reloaded on SIGHUP and when it changes, or a\n"
    "SQLite database with a table affiliates of the same columns, asked per request.\n"
    "Every row goes through the brander's text rules and --codepage; a refused row\n"
    "is logged and not served. Only rows of the table are ever branded.\n"
    "\n"
    "A master is located at start-up and again when its file changes; one that is\n"
    "not compatible stops the server. Replace a master by renaming a new file over\n"
    "it: transfers in flight finish from the file they opened.\n"
    "\n"
    "One access log line per request (common log format) goes to standard output or\n"
    "--access-log. SIGTERM stops taking connections and lets transfers in flight\n"
    "finish, for --drain seconds at most (30).\n"
    "Exit status: 0 stopped, 1 a master not compatible, 2 bad usage or a file that\n"
    "cannot be read.\n";

constexpr const char* kLinkHelp =
    "usage: velmora-brand link --id ID --product NAME --base URL [--link-key FILE]\n"
    "\n"
    "Prints the download link of an affiliate's copy of a product, as velmora-brand\n"
    "serve answers it: BASE/download/<id>[/<mac>]/<product>.exe.\n";

bool ReadKey(const std::string& path, std::string& key, std::string& error)
{
    CFile f;
    if (!OpenInput(path, f, error))
        return false;
    key.resize(4096);
    key.resize(f.Read(&key[0], static_cast<UINT>(key.size())));
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r'))
        key.pop_back();
    if (key.size() < 16) {
        error = PrintableName(path) + ": a link key needs at least 16 bytes";
        return false;
    }
    return true;
}

bool Number(const ParsedArgs& a, const char* name, uint64_t min, uint64_t max, uint64_t& value, std::string& error)
{
    if (!a.Has(name))
        return true;
    const std::string v = a.Get(name);
    char* end = nullptr;
    const unsigned long long n = std::strtoull(v.c_str(), &end, 10);
    if (v.empty() || *end != '\0' || n < min || n > max) {
        error = std::string(name) + " takes a whole number from " + std::to_string(min) + " to " + std::to_string(max);
        return false;
    }
    value = n;
    return true;
}

}  // namespace

int RunServe(const std::vector<std::string>& args)
{
    ParsedArgs a;
    std::vector<std::string> products;
    std::vector<std::string> rest;
    // --product may be given more than once.
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--product" && i + 1 < args.size())
            products.push_back(args[++i]);
        else if (args[i].compare(0, 10, "--product=") == 0)
            products.push_back(args[i].substr(10));
        else
            rest.push_back(args[i]);
    }
    const int parsed = ParseCommand(rest,
                                    {"--affiliates", "--listen", "--link-key", "--unknown", "--access-log",
                                     "--codepage", "--threads", "--max-connections", "--max-per-client",
                                     "--request-timeout", "--idle-timeout", "--min-rate", "--rate-window", "--drain"},
                                    {}, kServeHelp, a);
    if (parsed >= 0)
        return parsed;
    if (!a.positional.empty() || products.empty() || !a.Has("--affiliates") || !a.Has("--listen"))
        return UsageError("serve: give --product, --affiliates and --listen", kServeHelp);
    serve::ServeOptions o;
    std::string error;
    for (const std::string& p : products) {
        const size_t eq = p.find('=');
        if (eq == 0 || eq == std::string::npos || eq + 1 == p.size() || o.products.count(p.substr(0, eq)))
            return UsageError("serve: --product takes NAME=MASTER, each name once", kServeHelp);
        o.products[p.substr(0, eq)] = p.substr(eq + 1);
    }
    const std::string listen = a.Get("--listen");
    const size_t colon = listen.rfind(':');
    uint64_t port = 0;
    if (colon == std::string::npos || colon == 0 || listen.size() - colon > 6 ||
        listen.find_first_not_of("0123456789", colon + 1) != std::string::npos ||
        (port = std::strtoull(listen.c_str() + colon + 1, nullptr, 10)) > 65535 || colon + 1 == listen.size())
        return UsageError("serve: --listen takes HOST:PORT (port 0 picks a free one)", kServeHelp);
    o.host = listen.substr(0, colon);
    if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']')
        o.host = o.host.substr(1, o.host.size() - 2);
    o.port = static_cast<unsigned short>(port);
    o.table = a.Get("--affiliates");
    if (a.Has("--unknown")) {
        if (a.Get("--unknown") != "master")
            return UsageError("serve: --unknown takes \"master\"", kServeHelp);
        o.unknownServesMaster = true;
    }
    o.accessLog = a.Get("--access-log");
    if (!CodePageOption(a, o.codePage, error))
        return UsageError(error, kServeHelp);
    // The kernel moves the bytes; one event loop for every two cores keeps
    // the threads from contending (measured: on 2 cores, one thread gives a
    // lower p99 latency and more throughput than two).
    uint64_t threads = std::max(1u, std::thread::hardware_concurrency() / 2), maxConn = o.maxConnections,
             perClient = o.maxPerClient, reqTimeout = o.requestTimeout, idle = o.idleTimeout, rate = o.minRate,
             window = o.rateWindow, drain = o.drainSeconds;
    if (!Number(a, "--threads", 1, 256, threads, error) ||
        !Number(a, "--max-connections", 1, 1000000, maxConn, error) ||
        !Number(a, "--max-per-client", 1, 1000000, perClient, error) ||
        !Number(a, "--request-timeout", 1, 3600, reqTimeout, error) ||
        !Number(a, "--idle-timeout", 1, 3600, idle, error) || !Number(a, "--min-rate", 0, 1u << 30, rate, error) ||
        !Number(a, "--rate-window", 1, 3600, window, error) || !Number(a, "--drain", 0, 3600, drain, error))
        return UsageError("serve: " + error, kServeHelp);
    o.threads = static_cast<unsigned>(threads);
    o.maxConnections = maxConn;
    o.maxPerClient = perClient;
    o.requestTimeout = static_cast<unsigned>(reqTimeout);
    o.idleTimeout = static_cast<unsigned>(idle);
    o.minRate = rate;
    o.rateWindow = static_cast<unsigned>(window);
    o.drainSeconds = static_cast<unsigned>(drain);
    if (a.Has("--link-key") && !ReadKey(a.Get("--link-key"), o.linkKey, error)) {
        Complain(error);
        return kUsage;
    }
    return serve::Serve(o);
}

int RunLink(const std::vector<std::string>& args)
{
    ParsedArgs a;
    const int parsed = ParseCommand(args, {"--link-key", "--id", "--product", "--base"}, {}, kLinkHelp, a);
    if (parsed >= 0)
        return parsed;
    if (!a.positional.empty() || !a.Has("--id") || !a.Has("--product") || !a.Has("--base"))
        return UsageError("link: give --id, --product and --base", kLinkHelp);
    std::string key, error;
    if (a.Has("--link-key") && !ReadKey(a.Get("--link-key"), key, error)) {
        Complain(error);
        return kUsage;
    }
    std::string base = a.Get("--base");
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    const std::string id = a.Get("--id"), product = a.Get("--product");
    std::printf("%s/download/%s/%s%s.exe\n", base.c_str(), serve::PercentEncode(id).c_str(),
                key.empty() ? "" : (serve::LinkMac(key, id, product) + "/").c_str(),
                serve::PercentEncode(product).c_str());
    return kOk;
}

}  // namespace cli
