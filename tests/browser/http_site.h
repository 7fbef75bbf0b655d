// A small HTTP/1.1 server on 127.0.0.1 for the browser tests: the files of one directory, and
// routes that answer as a hostile or slow server would. Each connection is answered on a thread
// of its own and closed after one answer.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace klptest {

class HttpSite {
 public:
  // A route's answer: writes to the connection; stopping() tells it to give up waiting.
  using Route = std::function<void(HttpSite& site, int fd)>;

  explicit HttpSite(std::string dir) : dir_(std::move(dir)) {
    listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (listener_ < 0 || bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener_, 64) != 0 ||
        getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len) != 0)
      return;
    port_ = ntohs(a.sin_port);
    accepter_ = std::thread([this] { Accept(); });
  }
  ~HttpSite() {
    stop_ = true;
    if (accepter_.joinable()) accepter_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::thread& t : connections_) t.join();
    if (listener_ >= 0) close(listener_);
  }
  HttpSite(const HttpSite&) = delete;
  HttpSite& operator=(const HttpSite&) = delete;

  bool ok() const { return port_ != 0; }
  std::string Url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + path;
  }
  // Answers requests for path with route; routes are added before the site is first asked.
  void Add(const std::string& path, Route route) { routes_["/" + path] = std::move(route); }
  bool stopping() const { return stop_; }

  // Sends all of text; false when the peer has gone.
  static bool Send(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
      ssize_t n = send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
      if (n <= 0) return false;
      done += static_cast<size_t>(n);
    }
    return true;
  }
  static std::string Header(int status, const std::string& type, size_t length) {
    return "HTTP/1.1 " + std::to_string(status) + (status == 200 ? " OK" : " Not Found") +
           "\r\nContent-Type: " + type + "\r\nContent-Length: " + std::to_string(length) +
           "\r\nConnection: close\r\n\r\n";
  }
  static std::string Type(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    if (ext == ".html") return "text/html";
    if (ext == ".klp") return "application/kelvora-movie";
    if (ext == ".webm") return "video/webm";
    if (ext == ".mp4") return "video/mp4";
    return "application/octet-stream";
  }
  // A file of the directory as the whole answer, or 404.
  void ServeFile(int fd, const std::string& path) const {
    std::ifstream in(dir_ + path, std::ios::binary);
    if (!in) {
      Send(fd, Header(404, "text/plain", 0));
      return;
    }
    std::string body((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Send(fd, Header(200, Type(path), body.size()) + body);
  }
  // Waits ms, in steps, unless the site is stopping; false when it is.
  bool Wait(int ms) const {
    for (auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
         std::chrono::steady_clock::now() < end;) {
      if (stop_) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return !stop_;
  }

 private:
  void Accept() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (poll(&p, 1, 50) <= 0) continue;
      int fd = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      std::lock_guard<std::mutex> lock(mutex_);
      connections_.emplace_back([this, fd] {
        Answer(fd);
        close(fd);
      });
    }
  }
  // Reads the request head and answers by its path (the query left off).
  void Answer(int fd) {
    std::string head;
    char buf[4096];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
      pollfd p{fd, POLLIN, 0};
      if (poll(&p, 1, 5000) <= 0) return;
      ssize_t n = recv(fd, buf, sizeof buf, 0);
      if (n <= 0) return;
      head.append(buf, static_cast<size_t>(n));
    }
    size_t start = head.find(' ') + 1;
    std::string path = head.substr(start, head.find(' ', start) - start);
    path = path.substr(0, path.find('?'));
    if (path.find("..") != std::string::npos) {
      Send(fd, Header(404, "text/plain", 0));
      return;
    }
    auto route = routes_.find(path);
    if (route != routes_.end())
      route->second(*this, fd);
    else
      ServeFile(fd, path);
  }

  std::string dir_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::map<std::string, Route> routes_;
  std::thread accepter_;
  std::mutex mutex_;
  std::vector<std::thread> connections_;
};

}  // namespace klptest
