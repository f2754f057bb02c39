// A scripted HTTP/CDDB server on the loopback interface for the protocol
// tests. It listens on an ephemeral port, takes one connection at a time,
// records the request bytes of each connection and plays that connection's
// script: send bytes, pause, close, or never answer. The server stops (and
// every wait ends) when the object is destroyed.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace svtest {

struct ServerStep {
    enum class Kind { Send, Pause, Close, Hang };
    Kind kind = Kind::Send;
    std::string bytes;
    int ms = 0;

    static ServerStep Send(std::string b) { return {Kind::Send, std::move(b), 0}; }
    static ServerStep Pause(int ms) { return {Kind::Pause, {}, ms}; }
    static ServerStep Close() { return {Kind::Close, {}, 0}; }
    static ServerStep Hang() { return {Kind::Hang, {}, 0}; }
};

// "HTTP/1.0 200 OK" headers followed by `body`.
std::string HttpReply(const std::string& body);

class LoopbackServer {
public:
    // Listens on 127.0.0.1, or on ::1 when `ipv6` (Ok() is false when that
    // address is not available).
    explicit LoopbackServer(bool ipv6 = false);
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    bool Ok() const { return listenFd_ >= 0; }
    int Port() const { return port_; }
    // The host text a client connects to.
    std::string Host() const { return ipv6_ ? "::1" : "127.0.0.1"; }

    // The script of the next connection that has none yet. A connection
    // without a script is closed at once after its request.
    void AddConnection(std::vector<ServerStep> steps);
    // Shorthand: one connection that answers `reply` and closes.
    void Reply(const std::string& reply) { AddConnection({ServerStep::Send(reply), ServerStep::Close()}); }

    // The request bytes of each connection so far.
    std::vector<std::string> Requests() const;
    int Connections() const { return connections_.load(); }

private:
    void Run();
    void Serve(int fd, const std::vector<ServerStep>& steps);
    bool Stopping() const { return stop_.load(); }

    bool ipv6_;
    int listenFd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> connections_{0};
    mutable std::mutex mutex_;
    std::vector<std::vector<ServerStep>> scripts_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

}  // namespace svtest
