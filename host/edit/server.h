// The HTTP side of `klp edit`: serves the editor's page, the web runtime, the movie and the
// project's folder to one browser on this machine, and takes the project file back.
//
// It listens on 127.0.0.1 only, on a free port, and answers only requests that
//   - carry the session's random token as their first path segment (/TOKEN/...),
//   - name this server in Host (127.0.0.1:PORT or localhost:PORT), so that a page whose own
//     name was pointed at 127.0.0.1 (DNS rebinding) is refused,
//   - come from no other origin (an Origin header, when there is one, is this server's).
// Files are served from the project's folder only (symbolic links leading out of it are
// refused), and the only file written is the project itself, after its previous version has
// been kept as PROJECT.klp~.
//
// Paths under /TOKEN/:
//   GET  ""            the editor page (index.html of the page directory)
//   GET  NAME          a file of the page directory, else of the web runtime's directory
//   GET  session       the session as JSON: project name, movie, Source text for a new project
//   GET  project       the project file's text (404 while it does not exist)
//   PUT  project       writes the project file
//   GET  movie         the movie (Range requests answered, for the video element's seeking)
//   GET  files/PATH    a file of the project's folder
//   PUT, GET preview/project.klp
//                      the project as the page previews it, kept in memory only (its Source
//                      "../movie" names the movie above)
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace klp::edit {

struct ServerConfig {
  std::string project;      // the project file; need not exist yet, its folder must
  std::string movie;        // the movie shown
  std::string pageDir;      // index.html, edit.js, edit.css
  std::string webDir;       // klp.js, klp.wasm, and the editing module
  std::string token;        // empty: a random one
  // What the movie probe found; unknown: -1 frames, 0 for the others.
  int64_t movieFrames = -1;
  double movieFps = 0;
  int32_t movieWidth = 0;
  int32_t movieHeight = 0;
  size_t maxProjectBytes = 4 << 20;
  // Told of every refused request and every write, one line each.
  std::function<void(const std::string&)> log;
};

class Server {
 public:
  explicit Server(ServerConfig config);
  ~Server();
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Binds 127.0.0.1 on a free port and serves on a thread of its own. False with *error.
  bool Start(std::string* error);
  void Stop();

  int port() const;
  const std::string& token() const;
  // http://127.0.0.1:PORT/TOKEN/
  std::string Url() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// 32 hexadecimal digits from the system's random source.
std::string RandomToken();

// Writes text as the file at path: into a temporary file beside it first, then, when path
// exists, keeps its content as path + "~", and renames the temporary file over path. False with
// *error (naming the file and the system's reason) when something fails; path is then as it was.
bool WriteProjectFile(const std::string& path, const std::string& text, std::string* error);

}  // namespace klp::edit
