// The HTTP side of velmora-brand serve.
#include "Server.h"

#include "BlockLayout.h"
#include "Catalogue.h"
#include "Commands.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <sys/sendfile.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <mutex>

namespace cli::serve {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

std::string Sha256Hex(const std::string& data)
{
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    EVP_Digest(data.data(), data.size(), md, &len, EVP_sha256(), nullptr);
    return Hex(std::string(reinterpret_cast<char*>(md), len));
}

// "Sun, 06 Nov 1994 08:49:37 GMT"
std::string HttpDate(int64_t seconds)
{
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[64];
    std::strftime(buf, sizeof buf, "%a, %d %b %Y %H:%M:%S GMT", &tm);
    return buf;
}

bool ParseHttpDate(const std::string& s, int64_t& seconds)
{
    std::tm tm{};
    const char* end = strptime(s.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &tm);
    if (end == nullptr || *end != '\0')
        return false;
    seconds = static_cast<int64_t>(timegm(&tm));
    return true;
}

// What the client sent, safe in one log line.
std::string LogEscaped(beast::string_view s)
{
    std::string out;
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\x%02x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out;
}

bool PercentDecode(beast::string_view in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        auto hex = [](char c) {
            return c >= '0' && c <= '9'   ? c - '0'
                   : c >= 'a' && c <= 'f' ? c - 'a' + 10
                   : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : -1;
        };
        if (i + 2 >= in.size() || hex(in[i + 1]) < 0 || hex(in[i + 2]) < 0)
            return false;
        out += static_cast<char>(hex(in[i + 1]) * 16 + hex(in[i + 2]));
        i += 2;
    }
    return true;
}

// A single byte range, or why not.
enum class RangeKind {
    kNone,
    kOne,
    kUnsatisfiable
};

RangeKind ParseRange(beast::string_view value, uint64_t size, uint64_t& first, uint64_t& last)
{
    const std::string v(value);
    if (v.compare(0, 6, "bytes=") != 0 || v.find(',') != std::string::npos)
        return RangeKind::kNone;  // other units and several ranges: the whole file
    const std::string byteRange = v.substr(6);
    const size_t dash = byteRange.find('-');
    if (dash == std::string::npos)
        return RangeKind::kNone;
    auto number = [](const std::string& s, uint64_t& n) {
        if (s.empty() || s.size() > 19 || s.find_first_not_of("0123456789") != std::string::npos)
            return false;
        n = std::stoull(s);
        return true;
    };
    const std::string a = byteRange.substr(0, dash), b = byteRange.substr(dash + 1);
    uint64_t x = 0, y = 0;
    if (a.empty()) {  // the last y bytes
        if (!number(b, y))
            return RangeKind::kNone;
        if (y == 0 || size == 0)
            return RangeKind::kUnsatisfiable;
        first = y >= size ? 0 : size - y;
        last = size - 1;
        return RangeKind::kOne;
    }
    if (!number(a, x) || (!b.empty() && (!number(b, y) || y < x)))
        return RangeKind::kNone;
    if (x >= size)
        return RangeKind::kUnsatisfiable;
    first = x;
    last = b.empty() || y >= size ? size - 1 : y;
    return RangeKind::kOne;
}

// The connections of each client address, and in all.
class ConnectionCount
{
public:
    bool Take(const std::string& client, const ServeOptions& o)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_total >= o.maxConnections || m_perClient[client] >= o.maxPerClient)
            return false;
        ++m_total;
        ++m_perClient[client];
        return true;
    }
    void Give(const std::string& client)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_total;
        if (--m_perClient[client] == 0)
            m_perClient.erase(client);
    }
    size_t Total()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_total;
    }

private:
    std::mutex m_mutex;
    size_t m_total = 0;
    std::map<std::string, size_t> m_perClient;
};

class Server;

// One connection: requests read by Beast's parser, answers written by Beast's
// serializer (the header) and by sendfile (the master's bytes).
class Session : public std::enable_shared_from_this<Session>
{
public:
    Session(Server& server, tcp::socket socket, std::string client);
    ~Session();
    void Start();
    // Closes the connection unless a transfer is under way; on its strand.
    void CloseIfIdle();

private:
    struct Answer
    {
        http::status status = http::status::ok;
        std::string text;  // a short text body, for errors and health
        std::shared_ptr<const Master> master;
        std::optional<Affiliate> affiliate;  // none: the master unbranded
        uint64_t first = 0, count = 0;       // the bytes of the master to send
        std::string etag;
        std::string lastModified;
        std::string range;  // Content-Range, when there is one
        std::string filename;
        bool head = false;
    };

    void ReadRequest();
    void OnRequest(beast::error_code ec);
    Answer Decide(const http::request<http::empty_body>& req);
    void Send(Answer a);
    void SendText(const std::shared_ptr<Answer>& a);
    struct Progress
    {
        uint64_t at, end, sent;
    };
    void SendPieces(const std::shared_ptr<Answer>& a);
    void Pump(const std::shared_ptr<Answer>& a, const std::shared_ptr<Progress>& p);
    void Finished(const std::shared_ptr<Answer>& a, uint64_t sent, bool keepAlive);
    void Close();
    void WatchRate();

    Server& m_server;
    beast::tcp_stream m_stream;
    std::string m_client;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::empty_body>> m_parser;
    http::response<http::empty_body> m_header;
    std::optional<http::response_serializer<http::empty_body>> m_serializer;
    std::string m_requestLine;
    bool m_keepAlive = false;
    asio::steady_timer m_rateTimer;
    uint64_t m_sentInWindow = 0;
    bool m_sending = false;    // the body of an answer is under way
    bool m_answering = false;  // from a request's arrival to the end of its answer
};

class Server
{
public:
    explicit Server(const ServeOptions& o)
        : m_o(o), m_ioc(static_cast<int>(o.threads)), m_acceptor(m_ioc), m_signals(m_ioc, SIGTERM, SIGINT, SIGHUP),
          m_watch(m_ioc), m_drain(m_ioc)
    {
    }

    int Run();

    const ServeOptions& Options() const { return m_o; }
    ConnectionCount& Connections() { return m_connections; }
    asio::io_context& Context() { return m_ioc; }

    std::shared_ptr<const Master> MasterOf(const std::string& product)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto it = m_masters.find(product);
        return it == m_masters.end() ? nullptr : it->second;
    }
    Affiliates& Table() { return *m_table; }
    bool Healthy() { return m_table != nullptr; }

    // One line a message: the text rules' messages hold line breaks.
    void Log(std::string what)
    {
        for (char& c : what)
            if (c == '\n' || c == '\r')
                c = ' ';
        for (size_t at; (at = what.find("  ")) != std::string::npos;)
            what.erase(at, 1);
        std::lock_guard<std::mutex> lock(m_logMutex);
        std::fprintf(stderr, "%s serve: %s\n", kProgram, what.c_str());
        std::fflush(stderr);
    }
    void Access(const std::string& line)
    {
        std::lock_guard<std::mutex> lock(m_logMutex);
        const std::string l = line + "\n";
        try {
            m_accessLog.Write(l.data(), static_cast<UINT>(l.size()));
        } catch (const CFileException&) {
        }
    }
    void SessionEnded()
    {
        if (m_running && m_stopping && m_connections.Total() == 0)
            m_ioc.stop();
    }
    bool Stopping() const { return m_stopping; }
    void Remember(std::weak_ptr<Session> s)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sessions.emplace(s.lock().get(), std::move(s));
    }
    void Forget(Session* s)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sessions.erase(s);
    }

private:
    void Accept();
    void Watch();
    void OnSignal(int signal);

    // Sessions left when the server stops end with the io_context, which is
    // therefore destroyed before what they use.
    ServeOptions m_o;
    std::mutex m_mutex, m_logMutex;
    CFile m_accessLog;
    ConnectionCount m_connections;
    std::atomic<bool> m_stopping{false}, m_running{false};
    std::map<std::string, std::shared_ptr<const Master>> m_masters;
    std::map<Session*, std::weak_ptr<Session>> m_sessions;
    std::unique_ptr<Affiliates> m_table;
    asio::io_context m_ioc;
    tcp::acceptor m_acceptor;
    asio::signal_set m_signals;
    asio::steady_timer m_watch, m_drain;
};

Session::Session(Server& server, tcp::socket socket, std::string client)
    : m_server(server), m_stream(std::move(socket)), m_client(std::move(client)), m_rateTimer(m_stream.get_executor())
{
}

Session::~Session()
{
    m_server.Forget(this);
    m_server.Connections().Give(m_client);
    m_server.SessionEnded();
}

void Session::Start()
{
    m_server.Remember(weak_from_this());
    ReadRequest();
}

void Session::CloseIfIdle()
{
    asio::post(m_stream.get_executor(), [self = shared_from_this()] {
        if (!self->m_answering)
            self->Close();
    });
}

void Session::ReadRequest()
{
    m_parser.emplace();
    m_parser->header_limit(static_cast<std::uint32_t>(m_server.Options().headerLimit));
    m_parser->body_limit(0);
    m_stream.expires_after(std::chrono::seconds(m_requestLine.empty() ? m_server.Options().requestTimeout
                                                                      : m_server.Options().idleTimeout));
    http::async_read(m_stream, m_buffer, *m_parser,
                     [self = shared_from_this()](beast::error_code ec, size_t) { self->OnRequest(ec); });
}

void Session::OnRequest(beast::error_code ec)
{
    if (ec == http::error::end_of_stream || ec == beast::error::timeout || ec == asio::error::operation_aborted ||
        ec == asio::error::connection_reset || ec == asio::error::eof) {
        Close();
        return;
    }
    m_answering = true;
    if (ec) {
        // Beast could not read a request: say so, and close.
        m_requestLine = "-";
        m_keepAlive = false;
        Answer a;
        a.status =
            ec == http::error::header_limit ? http::status::request_header_fields_too_large : http::status::bad_request;
        a.text = ec == http::error::header_limit ? "request header too large\n" : "malformed request\n";
        Send(std::move(a));
        return;
    }
    const auto& req = m_parser->get();
    m_requestLine = std::string(req.method_string()) + " " + std::string(req.target()) + " HTTP/" +
                    std::to_string(req.version() / 10) + "." + std::to_string(req.version() % 10);
    m_keepAlive = req.keep_alive() && !m_server.Stopping();
    Send(Decide(req));
}

Session::Answer Session::Decide(const http::request<http::empty_body>& req)
{
    Answer a;
    a.head = req.method() == http::verb::head;
    auto error = [&](http::status status, const char* text) {
        a.status = status;
        a.text = text;
        return a;
    };
    if (req.method() != http::verb::get && req.method() != http::verb::head)
        return error(http::status::method_not_allowed, "only GET and HEAD are served\n");
    beast::string_view target = req.target();
    target = target.substr(0, target.find('?'));
    if (target == "/healthz")
        return m_server.Healthy() ? error(http::status::ok, "ok\n")
                                  : error(http::status::service_unavailable, "not ready\n");

    // /download/<id>/<product>.exe, with the link's MAC before the product when links are signed.
    std::vector<std::string> parts;
    for (size_t at = 1; at <= target.size();) {
        const size_t slash = target.find('/', at);
        const size_t end = slash == beast::string_view::npos ? target.size() : slash;
        std::string part;
        if (!PercentDecode(target.substr(at, end - at), part))
            return error(http::status::bad_request, "malformed request\n");
        parts.push_back(part);
        at = end + 1;
    }
    const bool signedLinks = !m_server.Options().linkKey.empty();
    if (target.empty() || target[0] != '/' || parts.size() != (signedLinks ? 4u : 3u) || parts[0] != "download" ||
        parts.back().size() < 5 || parts.back().compare(parts.back().size() - 4, 4, ".exe") != 0)
        return error(http::status::not_found, "not found\n");
    const std::string& id = parts[1];
    const std::string product = parts.back().substr(0, parts.back().size() - 4);
    if (signedLinks) {
        const std::string want = LinkMac(m_server.Options().linkKey, id, product);
        const std::string& got = parts[2];
        if (got.size() != want.size() || CRYPTO_memcmp(got.data(), want.data(), want.size()) != 0)
            return error(http::status::not_found, "not found\n");
    }
    a.master = m_server.MasterOf(product);
    if (!a.master)
        return error(http::status::not_found, "unknown product\n");
    std::string why;
    a.affiliate = m_server.Table().Lookup(id, why);
    if (!why.empty())
        m_server.Log(why);
    if (!a.affiliate && !m_server.Options().unknownServesMaster) {
        a.master.reset();
        return error(http::status::not_found, "unknown affiliate\n");
    }

    const Master& m = *a.master;
    a.filename = product + ".exe";
    a.etag =
        "\"" +
        Sha256Hex(m.digest + (a.affiliate ? std::string(reinterpret_cast<const char*>(a.affiliate->area.data()), 1000)
                                          : std::string("unbranded")))
            .substr(0, 32) +
        "\"";
    a.lastModified = HttpDate(m.modifiedNs / 1000000000);

    // Conditional requests: the entity tag first, then the date.
    const auto inm = req.find(http::field::if_none_match);
    if (inm != req.end()) {
        const std::string v(inm->value());
        if (v == "*" || v.find(a.etag) != std::string::npos) {
            a.status = http::status::not_modified;
            return a;
        }
    } else if (const auto ims = req.find(http::field::if_modified_since); ims != req.end()) {
        int64_t since = 0;
        if (ParseHttpDate(std::string(ims->value()), since) && since >= m.modifiedNs / 1000000000) {
            a.status = http::status::not_modified;
            return a;
        }
    }

    a.first = 0;
    a.count = m.size;
    const auto range = req.find(http::field::range);
    bool useRange = range != req.end();
    if (useRange) {
        // A resumed download of another master starts again whole.
        if (const auto ifRange = req.find(http::field::if_range); ifRange != req.end())
            useRange = std::string(ifRange->value()) == a.etag || std::string(ifRange->value()) == a.lastModified;
    }
    if (useRange) {
        uint64_t first = 0, last = 0;
        switch (ParseRange(range->value(), m.size, first, last)) {
        case RangeKind::kNone: break;
        case RangeKind::kOne:
            a.status = http::status::partial_content;
            a.first = first;
            a.count = last - first + 1;
            a.range = "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(m.size);
            break;
        case RangeKind::kUnsatisfiable:
            a.status = http::status::range_not_satisfiable;
            a.range = "bytes */" + std::to_string(m.size);
            a.master.reset();
            a.text = "range not satisfiable\n";
            break;
        }
    }
    return a;
}

void Session::Send(Answer answer)
{
    auto a = std::make_shared<Answer>(std::move(answer));
    m_header = {};
    m_header.version(11);
    m_header.result(a->status);
    m_header.set(http::field::server, "velmora-brand");
    m_header.keep_alive(m_keepAlive);
    if (!a->etag.empty()) {
        m_header.set(http::field::etag, a->etag);
        m_header.set(http::field::last_modified, a->lastModified);
        m_header.set(http::field::accept_ranges, "bytes");
    }
    if (!a->range.empty())
        m_header.set(http::field::content_range, a->range);
    const bool body = a->master && a->status != http::status::not_modified;
    if (body) {
        m_header.set(http::field::content_type, "application/vnd.microsoft.portable-executable");
        m_header.set(http::field::content_disposition, "attachment; filename=\"" + a->filename + "\"");
        m_header.content_length(a->count);
    } else if (a->status == http::status::not_modified) {
        a->text.clear();
    } else {
        m_header.set(http::field::content_type, "text/plain; charset=utf-8");
        m_header.content_length(a->text.size());
    }
    m_serializer.emplace(m_header);
    m_stream.expires_after(std::chrono::seconds(m_server.Options().rateWindow * 2));
    http::async_write_header(m_stream, *m_serializer,
                             [self = shared_from_this(), a, body](beast::error_code ec, size_t) {
                                 if (ec) {
                                     self->Finished(a, 0, false);
                                     return;
                                 }
                                 if (a->head || a->status == http::status::not_modified)
                                     self->Finished(a, 0, self->m_keepAlive);
                                 else if (body)
                                     self->SendPieces(a);
                                 else
                                     self->SendText(a);
                             });
}

void Session::SendText(const std::shared_ptr<Answer>& a)
{
    asio::async_write(m_stream, asio::buffer(a->text), [self = shared_from_this(), a](beast::error_code ec, size_t n) {
        self->Finished(a, n, !ec && self->m_keepAlive && a->status != http::status::bad_request);
    });
}

// The bytes of [first, first + count) of the branded master: the master's own
// bytes with sendfile, the affiliate's data area from memory.
void Session::SendPieces(const std::shared_ptr<Answer>& a)
{
    m_stream.expires_never();
    m_sending = true;
    m_sentInWindow = 0;
    WatchRate();
    m_stream.socket().native_non_blocking(true);
    Pump(a, std::make_shared<Progress>(Progress{a->first, a->first + a->count, 0}));
}

void Session::Pump(const std::shared_ptr<Answer>& a, const std::shared_ptr<Progress>& p)
{
    tcp::socket& sock = m_stream.socket();
    const Master& m = *a->master;
    const uint64_t areaFrom = m.dataOffset, areaTo = m.dataOffset + brand::kDataAreaLength;
    while (p->at < p->end) {
        ssize_t n;
        if (a->affiliate && p->at >= areaFrom && p->at < areaTo) {
            const size_t len = static_cast<size_t>(std::min(p->end, areaTo) - p->at);
            n = ::send(sock.native_handle(), a->affiliate->area.data() + (p->at - areaFrom), len, MSG_NOSIGNAL);
        } else {
            uint64_t stop = p->end;
            if (a->affiliate && p->at < areaFrom)
                stop = std::min(stop, areaFrom);
            off_t off = static_cast<off_t>(p->at);
            n = ::sendfile(sock.native_handle(), static_cast<int>(m.file.GetOsHandle()), &off,
                           static_cast<size_t>(std::min<uint64_t>(stop - p->at, 1u << 30)));
            if (n == 0) {
                Finished(a, p->sent, false);  // the master ended early
                return;
            }
        }
        if (n < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                sock.async_wait(tcp::socket::wait_write, [self = shared_from_this(), a, p](beast::error_code ec) {
                    if (ec)
                        self->Finished(a, p->sent, false);
                    else
                        self->Pump(a, p);
                });
                return;
            }
            Finished(a, p->sent, false);
            return;
        }
        p->at += static_cast<uint64_t>(n);
        p->sent += static_cast<uint64_t>(n);
        m_sentInWindow += static_cast<uint64_t>(n);
    }
    Finished(a, p->sent, m_keepAlive);
}

// Cuts off a transfer that moves fewer bytes than the minimum rate.
void Session::WatchRate()
{
    const unsigned window = m_server.Options().rateWindow;
    m_rateTimer.expires_after(std::chrono::seconds(window));
    m_rateTimer.async_wait([self = shared_from_this(), window](beast::error_code ec) {
        if (ec || !self->m_sending)
            return;
        if (self->m_sentInWindow < self->m_server.Options().minRate * window) {
            // Cut off with a reset: what the kernel still holds for this client is dropped.
            beast::error_code ignored;
            self->m_stream.socket().set_option(asio::socket_base::linger(true, 0), ignored);
            self->m_stream.socket().cancel(ignored);
            return;
        }
        self->m_sentInWindow = 0;
        self->WatchRate();
    });
}

void Session::Finished(const std::shared_ptr<Answer>& a, uint64_t sent, bool keepAlive)
{
    m_sending = false;
    m_answering = false;
    m_rateTimer.cancel();
    char stamp[64];
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    std::strftime(stamp, sizeof stamp, "%d/%b/%Y:%H:%M:%S +0000", &tm);
    m_server.Access(LogEscaped(m_client) + " - - [" + stamp + "] \"" + LogEscaped(m_requestLine) + "\" " +
                    std::to_string(static_cast<unsigned>(a->status)) + " " + std::to_string(sent));
    if (keepAlive && !m_server.Stopping()) {
        m_requestLine = "kept";
        ReadRequest();
    } else {
        Close();
    }
}

void Session::Close()
{
    beast::error_code ec;
    m_stream.socket().shutdown(tcp::socket::shutdown_send, ec);
    m_stream.socket().close(ec);
}

int Server::Run()
{
    // The masters, each located once now; one that is not compatible stops the server.
    for (const auto& [name, path] : m_o.products) {
        std::string why;
        try {
            auto m = LoadMaster(name, path, why);
            if (!m) {
                Log(why);
                return kRefused;
            }
            if (m->isSigned)
                Log("warning: " + path +
                    " carries a signature, which the branded copies carry too and which no longer matches them");
            m_masters[name] = std::move(m);
        } catch (const CFileException& e) {
            Log(Describe(e));
            return kUsage;
        }
    }
    std::string why;
    try {
        m_table = OpenAffiliates(
            m_o.table, m_o.codePage, [this](const std::string& s) { Log(s); }, why);
    } catch (const CFileException& e) {
        why = Describe(e);
    }
    if (!m_table) {
        Log(why);
        return kUsage;
    }
    if (m_o.accessLog.empty()) {
        m_accessLog.AttachStandardOutput();
    } else {
        CFileException e;
        if (!m_accessLog.Open(m_o.accessLog.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeWrite,
                              &e)) {
            Log(Describe(e));
            return kUsage;
        }
        m_accessLog.SeekToEnd();
    }

    beast::error_code ec;
    const tcp::endpoint at(asio::ip::make_address(m_o.host, ec), m_o.port);
    if (ec) {
        Log("--listen: \"" + m_o.host + "\" is not an address");
        return kUsage;
    }
    m_acceptor.open(at.protocol(), ec);
    if (!ec)
        m_acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        m_acceptor.bind(at, ec);
    if (!ec)
        m_acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        Log("cannot listen on " + m_o.host + ":" + std::to_string(m_o.port) + ": " + ec.message());
        return kUsage;
    }
    Log("listening on " + m_acceptor.local_endpoint().address().to_string() + ":" +
        std::to_string(m_acceptor.local_endpoint().port()));
    m_signals.async_wait([this](beast::error_code e, int s) {
        if (!e)
            OnSignal(s);
    });
    Accept();
    Watch();
    m_running = true;
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < m_o.threads; ++i)
        threads.emplace_back([this] { m_ioc.run(); });
    m_ioc.run();
    for (auto& t : threads)
        t.join();
    m_running = false;
    Log("stopped");
    return kOk;
}

void Server::Accept()
{
    m_acceptor.async_accept(asio::make_strand(m_ioc), [this](beast::error_code ec, tcp::socket socket) {
        if (ec)
            return;  // closed: the server is stopping
        beast::error_code e;
        // The last piece of an answer goes out at once, not after the client's delayed acknowledgement.
        socket.set_option(tcp::no_delay(true), e);
        const std::string client = socket.remote_endpoint(e).address().to_string();
        if (!e && m_connections.Take(client, m_o))
            std::make_shared<Session>(*this, std::move(socket), client)->Start();
        else
            socket.close(e);
        Accept();
    });
}

void Server::Watch()
{
    m_watch.expires_after(std::chrono::milliseconds(m_o.watchMillis));
    m_watch.async_wait([this](beast::error_code ec) {
        if (ec || m_stopping)
            return;
        // A master replaced on disk is located again; transfers in flight
        // finish from the file they opened.
        for (const auto& [name, path] : m_o.products) {
            const auto old = MasterOf(name);
            if (!old || !MasterChanged(*old))
                continue;
            std::string why;
            try {
                if (auto m = LoadMaster(name, path, why)) {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_masters[name] = std::move(m);
                    why = "reloaded " + path;
                }
            } catch (const CFileException& e) {
                why = Describe(e);
            }
            Log(why.compare(0, 9, "reloaded ") == 0 ? why : why + "; the master loaded before stays in service");
        }
        std::string why;
        if (!m_table->Refresh(false, why))
            Log(why + "; the table loaded before stays in service");
        Watch();
    });
}

void Server::OnSignal(int signal)
{
    if (signal == SIGHUP) {
        std::string why;
        Log(m_table->Refresh(true, why) ? "table reloaded" : why + "; the table loaded before stays in service");
        m_signals.async_wait([this](beast::error_code e, int s) {
            if (!e)
                OnSignal(s);
        });
        return;
    }
    // Stop taking connections; transfers in flight have drainSeconds to finish.
    Log("stopping");
    m_stopping = true;
    beast::error_code ec;
    m_acceptor.close(ec);
    m_watch.cancel();
    // Connections that wait for a request close now; transfers go on.
    std::vector<std::shared_ptr<Session>> sessions;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto& [p, weak] : m_sessions)
            if (auto session = weak.lock())
                sessions.push_back(std::move(session));
    }
    for (auto& session : sessions)
        session->CloseIfIdle();
    sessions.clear();
    if (m_connections.Total() == 0) {
        m_ioc.stop();
        return;
    }
    m_drain.expires_after(std::chrono::seconds(m_o.drainSeconds));
    m_drain.async_wait([this](beast::error_code e) {
        if (!e)
            m_ioc.stop();
    });
}

}  // namespace

std::string LinkMac(const std::string& key, const std::string& id, const std::string& product)
{
    const std::string message = id + "\n" + product;
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned len = 0;
    HMAC(EVP_sha256(), key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char*>(message.data()),
         message.size(), md, &len);
    return Hex(std::string(reinterpret_cast<char*>(md), 16));
}

std::string PercentEncode(const std::string& s)
{
    std::string out;
    for (char ch : s) {
        const unsigned char c = static_cast<unsigned char>(ch);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
            c == '.' || c == '~') {
            out += ch;
        } else {
            char esc[4];
            std::snprintf(esc, sizeof esc, "%%%02X", c);
            out += esc;
        }
    }
    return out;
}

int Serve(const ServeOptions& options)
{
    // A client that goes away mid-transfer makes sendfile fail with EPIPE,
    // never end the server.
    std::signal(SIGPIPE, SIG_IGN);
    Server server(options);
    return server.Run();
}

}  // namespace cli::serve
