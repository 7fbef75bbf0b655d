#include "host/edit/server.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <httplib.h>
#include <mutex>
#include <thread>

#include "lint/text.h"

namespace klp::edit {
namespace {

namespace fs = std::filesystem;
using httplib::Request;
using httplib::Response;

std::string MimeType(const fs::path& path) {
  std::string ext = path.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  static const std::pair<const char*, const char*> kTypes[] = {
      {".html", "text/html; charset=utf-8"},  {".js", "text/javascript; charset=utf-8"},
      {".mjs", "text/javascript; charset=utf-8"}, {".css", "text/css; charset=utf-8"},
      {".wasm", "application/wasm"},         {".json", "application/json"},
      {".klp", "text/plain; charset=utf-8"}, {".txt", "text/plain; charset=utf-8"},
      {".png", "image/png"},                 {".svg", "image/svg+xml"},
      {".webm", "video/webm"},               {".mp4", "video/mp4"},
      {".m4v", "video/mp4"},                 {".ogv", "video/ogg"},
      {".ogg", "video/ogg"},                 {".mov", "video/quicktime"},
  };
  for (const auto& [e, type] : kTypes) {
    if (ext == e) return type;
  }
  return "application/octet-stream";
}

// Header values go into log lines: printable ASCII only, and not too much of it.
std::string Printable(std::string_view text) {
  std::string out;
  for (char c : text.substr(0, 200)) {
    out += (c >= 0x20 && c < 0x7f) ? c : '?';
  }
  return out;
}

bool SameToken(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

// A page or runtime file name: no folders, not hidden.
bool PlainName(std::string_view name) {
  if (name.empty() || name[0] == '.') return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
  });
}

// Whether path lies in dir (both canonical).
bool Inside(const fs::path& path, const fs::path& dir) {
  auto mismatch = std::mismatch(dir.begin(), dir.end(), path.begin(), path.end());
  return mismatch.first == dir.end();
}

void Answer(Response& res, int status, const std::string& text) {
  res.status = status;
  res.set_content(text + "\n", "text/plain; charset=utf-8");
}

// Whether the Range header's ranges all lie in a file of size bytes.
bool Satisfiable(const Request& req, uintmax_t size) {
  for (const auto& [first, last] : req.ranges) {
    if (first < 0 ? last <= 0 : static_cast<uintmax_t>(first) >= size || (last >= 0 && last < first))
      return false;
  }
  return true;
}

// The file as the response's content, read as it is sent; Range requests are answered by the
// library from the length given, once they are known to lie in the file.
bool ServeFile(const Request& req, Response& res, const fs::path& path) {
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  auto in = std::make_shared<std::ifstream>(path, std::ios::binary);
  if (ec || !*in) return false;
  if (!Satisfiable(req, size)) {
    res.status = 416;  // no text: the library would cut it to the ranges asked for
    return true;
  }
  res.set_content_provider(
      static_cast<size_t>(size), MimeType(path),
      [in](size_t offset, size_t length, httplib::DataSink& sink) {
        char buf[64 * 1024];
        in->clear();
        in->seekg(static_cast<std::streamoff>(offset));
        size_t n = std::min(length, sizeof buf);
        in->read(buf, static_cast<std::streamsize>(n));
        const auto got = in->gcount();
        if (got <= 0) return false;
        return sink.write(buf, static_cast<size_t>(got));
      });
  return true;
}

std::string Errno(const std::string& what, const std::string& path) {
  return "cannot " + what + " " + path + ": " + std::strerror(errno);
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return ::fsync(fd) == 0;
}

// text into a new temporary file in path's folder; its name, or empty with *error. mode < 0:
// the permissions of a new file (0666 less the umask), else exactly mode.
std::string WriteTemporary(const std::string& path, const std::string& text, int mode,
                           std::string* error) {
  std::string name = path + ".XXXXXX";
  int fd = ::mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) {
    *error = Errno("create a file beside", path);
    return {};
  }
  bool ok = true;
  if (mode < 0) {
    // mkstemp makes 0600; a new project is made as any new file, without touching the umask,
    // which is the whole process's.
    mode = 0666;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
      if (line.rfind("Umask:", 0) == 0) mode &= ~static_cast<int>(std::stoul(line.substr(6), nullptr, 8));
    }
  }
  if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) ok = false;
  ok = ok && WriteAll(fd, text);
  if (!ok) *error = Errno("write", name);
  if (::close(fd) != 0 && ok) {
    *error = Errno("write", name);
    ok = false;
  }
  if (!ok) {
    ::unlink(name.c_str());
    return {};
  }
  return name;
}

}  // namespace

std::string RandomToken() {
  unsigned char bytes[16];
  size_t got = 0;
  while (got < sizeof bytes) {
    ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return "";  // no randomness: no safe session either
    got += static_cast<size_t>(n);
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

bool WriteProjectFile(const std::string& path, const std::string& text, std::string* error) {
  std::error_code ec;
  const bool existed = fs::exists(path, ec);
  if (existed && !fs::is_regular_file(path, ec)) {
    *error = path + " is not a regular file";
    return false;
  }
  // The new file and the kept one have the old one's permissions.
  struct stat st {};
  const int mode = existed && ::stat(path.c_str(), &st) == 0 ? static_cast<int>(st.st_mode & 07777) : -1;
  const std::string temporary = WriteTemporary(path, text, mode, error);
  if (temporary.empty()) return false;
  if (existed) {
    // The previous version, kept whole: copied to a file of its own, then renamed to PATH~.
    std::ifstream in(path, std::ios::binary);
    std::string previous((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string keep;
    if (!in.bad()) keep = WriteTemporary(path, previous, mode, error);
    else *error = Errno("read", path);
    if (keep.empty() || ::rename(keep.c_str(), (path + "~").c_str()) != 0) {
      if (!keep.empty()) {
        *error = Errno("keep the previous version as", path + "~");
        ::unlink(keep.c_str());
      }
      ::unlink(temporary.c_str());
      return false;
    }
  }
  if (::rename(temporary.c_str(), path.c_str()) != 0) {
    *error = Errno("replace", path);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

struct Server::Impl {
  ServerConfig config;
  httplib::Server http;
  std::thread thread;
  int port = 0;
  fs::path projectDir;  // canonical
  std::mutex mutex;     // the log, the project file and the preview
  std::string preview;  // the project as last previewed; never written to a file

  void Log(const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex);
    if (config.log) config.log(line);
  }

  // Why the request is refused; empty when it is not.
  std::string Refusal(const Request& req) const {
    const std::string host = req.get_header_value("Host");
    const std::string self = std::to_string(port);
    if (host != "127.0.0.1:" + self && host != "localhost:" + self) {
      return "the Host header names another server (" + Printable(host) + ")";
    }
    if (req.has_header("Origin")) {
      const std::string origin = req.get_header_value("Origin");
      if (origin != "http://127.0.0.1:" + self && origin != "http://localhost:" + self) {
        return "the request comes from another origin (" + Printable(origin) + ")";
      }
    }
    if (req.has_header("Sec-Fetch-Site")) {
      const std::string site = req.get_header_value("Sec-Fetch-Site");
      if (site != "same-origin" && site != "none") {
        return "the request comes from another site (Sec-Fetch-Site: " + Printable(site) + ")";
      }
    }
    std::string_view path = req.path;
    if (path.size() < 2 || path[0] != '/') return "no session token in the path";
    path.remove_prefix(1);
    std::string_view segment = path.substr(0, path.find('/'));
    if (!SameToken(segment, config.token)) return "no session token in the path";
    return {};
  }

  // The path after /TOKEN/.
  std::string Rest(const Request& req) const {
    const size_t skip = 1 + config.token.size() + 1;
    return req.path.size() > skip ? req.path.substr(skip) : std::string();
  }

  void Get(const Request& req, Response& res) {
    if (req.path.size() == 1 + config.token.size()) {
      res.set_redirect("/" + config.token + "/", 303);
      return;
    }
    const std::string rest = Rest(req);
    if (rest.empty()) return Static(req, res, "index.html");
    if (rest == "session") return Session(res);
    if (rest == "project") return ReadProject(res);
    if (rest == "preview/project.klp") {
      std::lock_guard<std::mutex> lock(mutex);
      if (preview.empty()) return Answer(res, 404, "no preview yet");
      return res.set_content(preview, "application/kelvora-movie");
    }
    if (rest == "movie") {
      if (!ServeFile(req, res, config.movie)) Answer(res, 404, "cannot read the movie " + config.movie);
      return;
    }
    if (rest.rfind("files/", 0) == 0) return FolderFile(req, res, rest.substr(6));
    if (PlainName(rest)) return Static(req, res, rest);
    Answer(res, 404, "no such page: " + Printable(rest));
  }

  void Static(const Request& req, Response& res, const std::string& name) {
    for (const std::string& dir : {config.pageDir, config.webDir}) {
      fs::path path = fs::path(dir) / name;
      std::error_code ec;
      if (fs::is_regular_file(path, ec) && ServeFile(req, res, path)) return;
    }
    Answer(res, 404, "no such page: " + name);
  }

  void Session(Response& res) {
    lint::JsonWriter w;
    const fs::path project(config.project);
    std::error_code ec;
    w.BeginObject();
    w.Key("project").String(project.filename().string());
    w.Key("projectPath").String(config.project);
    w.Key("exists").Bool(fs::exists(project, ec));
    w.Key("movie").BeginObject();
    w.Key("name").String(fs::path(config.movie).filename().string());
    // The movie as the project's Source names it: relative to the project's folder.
    w.Key("source").String(fs::absolute(config.movie, ec)
                               .lexically_normal()
                               .lexically_relative(projectDir)
                               .generic_string());
    if (config.movieFrames >= 0) w.Key("frames").Number(config.movieFrames);
    else w.Key("frames").Null();
    w.Key("fps").Real(config.movieFps);
    w.Key("width").Number(config.movieWidth);
    w.Key("height").Number(config.movieHeight);
    w.EndObject();
    w.EndObject();
    res.set_content(w.str(), "application/json");
  }

  void ReadProject(Response& res) {
    std::lock_guard<std::mutex> lock(mutex);
    std::error_code ec;
    if (!fs::exists(config.project, ec)) {
      Answer(res, 404, "the project " + config.project + " does not exist yet");
      return;
    }
    std::ifstream in(config.project, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in || in.bad()) {
      Answer(res, 500, Errno("read", config.project));
      return;
    }
    res.set_content(text, "text/plain; charset=utf-8");
  }

  void Put(const Request& req, Response& res) {
    if (Rest(req) == "preview/project.klp" && req.body.size() <= config.maxProjectBytes) {
      std::lock_guard<std::mutex> lock(mutex);
      preview = req.body;
      return Answer(res, 200, "preview kept");
    }
    if (Rest(req) != "project") {
      Answer(res, 405, "only the project is written");
      return;
    }
    if (req.body.size() > config.maxProjectBytes) {
      Answer(res, 413, "the project text is too large");
      return;
    }
    if (req.body.find('\0') != std::string::npos) {
      Answer(res, 400, "the project text holds a NUL byte");
      Log("refused to write " + config.project + ": the text holds a NUL byte");
      return;
    }
    std::string error;
    bool ok;
    {
      std::lock_guard<std::mutex> lock(mutex);
      ok = WriteProjectFile(config.project, req.body, &error);
    }
    if (!ok) {
      Answer(res, 500, error);
      Log(error);
      return;
    }
    Log("saved " + config.project);
    Answer(res, 200, "saved " + fs::path(config.project).filename().string());
  }

  void FolderFile(const Request& req, Response& res, const std::string& relative) {
    fs::path rel(relative);
    bool up = std::any_of(rel.begin(), rel.end(), [](const fs::path& p) { return p == ".."; });
    std::error_code ec;
    fs::path path = fs::weakly_canonical(projectDir / rel, ec);
    if (relative.empty() || rel.is_absolute() || up || ec || !Inside(path, projectDir)) {
      Answer(res, 403, "outside the project's folder: " + Printable(relative));
      Log("refused files/" + Printable(relative) + ": outside the project's folder");
      return;
    }
    if (!fs::is_regular_file(path, ec) || !ServeFile(req, res, path)) {
      Answer(res, 404, "no such file in the project's folder: " + Printable(relative));
    }
  }
};

Server::Server(ServerConfig config) : impl_(std::make_unique<Impl>()) {
  impl_->config = std::move(config);
  if (impl_->config.token.empty()) impl_->config.token = RandomToken();
}

Server::~Server() { Stop(); }

bool Server::Start(std::string* error) {
  Impl& s = *impl_;
  if (s.config.token.empty()) {
    *error = "no random session token could be made";
    return false;
  }
  std::error_code ec;
  s.projectDir = fs::canonical(fs::absolute(s.config.project, ec).parent_path(), ec);
  if (ec) {
    *error = "the project's folder is not there: " +
             fs::absolute(s.config.project).parent_path().string();
    return false;
  }
  s.http.set_payload_max_length(s.config.maxProjectBytes);
  s.http.set_keep_alive_max_count(1000);
  s.http.set_pre_routing_handler([&s](const Request& req, Response& res) {
    std::string why = s.Refusal(req);
    if (why.empty()) return httplib::Server::HandlerResponse::Unhandled;
    Answer(res, 403, "refused: " + why);
    s.Log("refused " + Printable(req.method) + " " + Printable(req.path) + ": " + why);
    return httplib::Server::HandlerResponse::Handled;
  });
  s.http.set_post_routing_handler([](const Request&, Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_header("Referrer-Policy", "no-referrer");
    res.set_header("X-Content-Type-Options", "nosniff");
    res.set_header("Cross-Origin-Resource-Policy", "same-origin");
  });
  s.http.Get(".*", [&s](const Request& req, Response& res) { s.Get(req, res); });
  s.http.Put(".*", [&s](const Request& req, Response& res) { s.Put(req, res); });
  const auto refuse = [](const Request&, Response& res) {
    Answer(res, 405, "method not allowed");
  };
  s.http.Post(".*", refuse);
  s.http.Delete(".*", refuse);
  s.http.Patch(".*", refuse);
  s.port = s.http.bind_to_any_port("127.0.0.1");
  if (s.port <= 0) {
    *error = std::string("cannot listen on 127.0.0.1: ") + std::strerror(errno);
    return false;
  }
  s.thread = std::thread([&s] { s.http.listen_after_bind(); });
  for (int i = 0; i < 5000 && !s.http.is_running(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void Server::Stop() {
  if (!impl_->thread.joinable()) return;
  impl_->http.stop();
  impl_->thread.join();
}

int Server::port() const { return impl_->port; }
const std::string& Server::token() const { return impl_->config.token; }
std::string Server::Url() const {
  return "http://127.0.0.1:" + std::to_string(impl_->port) + "/" + impl_->config.token + "/";
}

}  // namespace klp::edit
