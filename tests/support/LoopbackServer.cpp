#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>

namespace svtest {
namespace {

constexpr int kSliceMs = 10;
constexpr int kRequestLimitMs = 3000;

}  // namespace

std::string HttpReply(const std::string& body) {
    return "HTTP/1.0 200 OK\r\nServer: loopback\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\n" + body;
}

LoopbackServer::LoopbackServer(bool ipv6) : ipv6_(ipv6) {
    listenFd_ = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0) return;
    int one = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_storage storage{};
    socklen_t len = 0;
    if (ipv6) {
        auto* a = reinterpret_cast<sockaddr_in6*>(&storage);
        a->sin6_family = AF_INET6;
        a->sin6_addr = in6addr_loopback;
        len = sizeof *a;
    } else {
        auto* a = reinterpret_cast<sockaddr_in*>(&storage);
        a->sin_family = AF_INET;
        a->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        len = sizeof *a;
    }
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&storage), len) != 0 || ::listen(listenFd_, 8) != 0) {
        ::close(listenFd_);
        listenFd_ = -1;
        return;
    }
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&storage), &len);
    port_ = ipv6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port)
                 : ntohs(reinterpret_cast<sockaddr_in*>(&storage)->sin_port);
    thread_ = std::thread([this] { Run(); });
}

LoopbackServer::~LoopbackServer() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (listenFd_ >= 0) ::close(listenFd_);
}

void LoopbackServer::AddConnection(std::vector<ServerStep> steps) {
    std::lock_guard<std::mutex> lock(mutex_);
    scripts_.push_back(std::move(steps));
}

std::vector<std::string> LoopbackServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void LoopbackServer::Run() {
    while (!Stopping()) {
        pollfd p{listenFd_, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) continue;
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        const int index = connections_++;
        std::vector<ServerStep> steps;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (index < static_cast<int>(scripts_.size())) steps = scripts_[static_cast<std::size_t>(index)];
            requests_.emplace_back();
        }
        Serve(fd, steps);
        ::close(fd);
    }
}

void LoopbackServer::Serve(int fd, const std::vector<ServerStep>& steps) {
    // Record the request up to its blank line (or until the client stops sending).
    std::string request;
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestLimitMs);
    while (!Stopping() && request.find("\r\n\r\n") == std::string::npos &&
           std::chrono::steady_clock::now() < until) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kSliceMs) <= 0) continue;
        char buf[2048];
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<std::size_t>(n));
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        requests_.back() = request;
    }
    for (const auto& step : steps) {
        switch (step.kind) {
        case ServerStep::Kind::Send: {
            std::size_t done = 0;
            while (done < step.bytes.size() && !Stopping()) {
                const ssize_t n = ::send(fd, step.bytes.data() + done, step.bytes.size() - done, MSG_NOSIGNAL);
                if (n <= 0) return;
                done += static_cast<std::size_t>(n);
            }
            break;
        }
        case ServerStep::Kind::Pause:
            for (int waited = 0; waited < step.ms && !Stopping(); waited += kSliceMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(kSliceMs));
            break;
        case ServerStep::Kind::Close:
            return;
        case ServerStep::Kind::Hang:
            // Never answer: wait until the client gives up or the server stops.
            while (!Stopping()) {
                pollfd p{fd, POLLIN, 0};
                if (::poll(&p, 1, kSliceMs) > 0) {
                    char buf[256];
                    if (::recv(fd, buf, sizeof buf, 0) <= 0) return;
                }
            }
            return;
        }
    }
}

}  // namespace svtest
