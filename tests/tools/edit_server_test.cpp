// The editor's server over real HTTP on 127.0.0.1: who is let in, which files are served, how
// the project is written; and `klp edit` as a program.
#include <gtest/gtest.h>
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "host/commands.h"
#include "host/edit/edit.h"
#include "host/edit/server.h"
#include "tests/project/temp_dir.h"
#include "tests/tools/run_klp.h"

namespace {

namespace fs = std::filesystem;
using klp::test::Klp;
using klp::test::Outcome;
using klp::edit::Server;
using klp::edit::ServerConfig;

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class EditServer : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir_.Path("project/page"));
    fs::create_directories(dir_.Path("project/web"));
    movie_ = dir_.Write("project/movie.webm", "0123456789abcdef");
    dir_.Write("project/page/index.html", "<title>editor</title>");
    dir_.Write("project/web/klp.js", "// runtime");
    dir_.Write("project/notes.txt", "notes");
    dir_.Write("secret.txt", "secret");
    ServerConfig config;
    config.project = dir_.Path("project/p.klp");
    config.movie = movie_;
    config.pageDir = dir_.Path("project/page");
    config.webDir = dir_.Path("project/web");
    config.movieFrames = 200;
    config.movieFps = 25;
    config.movieWidth = 320;
    config.movieHeight = 240;
    config.maxProjectBytes = 1000;
    config.log = [this](const std::string& line) { log_.push_back(line); };
    server_ = std::make_unique<Server>(config);
    std::string error;
    ASSERT_TRUE(server_->Start(&error)) << error;
    client_ = std::make_unique<httplib::Client>("127.0.0.1", server_->port());
  }

  std::string At(const std::string& rest) const { return "/" + server_->token() + "/" + rest; }
  std::string Self() const { return "http://127.0.0.1:" + std::to_string(server_->port()); }

  klp::test::TempDir dir_;
  std::string movie_;
  std::vector<std::string> log_;
  std::unique_ptr<Server> server_;
  std::unique_ptr<httplib::Client> client_;
};

TEST_F(EditServer, TheAddressIsLocalWithARandomToken) {
  EXPECT_EQ(server_->Url(), Self() + "/" + server_->token() + "/");
  EXPECT_EQ(server_->token().size(), 32u);
  EXPECT_NE(server_->token(), klp::edit::RandomToken());
  auto res = client_->Get(At(""));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "<title>editor</title>");
  EXPECT_EQ(res->get_header_value("Cross-Origin-Resource-Policy"), "same-origin");
  EXPECT_EQ(res->get_header_value("Referrer-Policy"), "no-referrer");
  res = client_->Get("/" + server_->token());
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 303);
  EXPECT_EQ(res->get_header_value("Location"), "/" + server_->token() + "/");
}

TEST_F(EditServer, RequestsWithoutTheTokenOrFromElsewhereAreRefused) {
  struct Case {
    std::string path;
    httplib::Headers headers;
    std::string why;
  };
  const std::string port = std::to_string(server_->port());
  const std::string wrong(server_->token().size(), '0');
  const std::vector<Case> cases = {
      {"/", {}, "no session token in the path"},
      {"/project", {}, "no session token in the path"},
      {"/" + wrong + "/project", {}, "no session token in the path"},
      {"/" + server_->token().substr(1) + "/project", {}, "no session token in the path"},
      {At("project"), {{"Host", "attacker.example:" + port}},
       "the Host header names another server (attacker.example:" + port + ")"},
      {At("project"), {{"Host", "127.0.0.1:1"}},
       "the Host header names another server (127.0.0.1:1)"},
      {At("project"), {{"Origin", "http://attacker.example"}},
       "the request comes from another origin (http://attacker.example)"},
      {At("project"), {{"Origin", "http://127.0.0.1:1"}},
       "the request comes from another origin (http://127.0.0.1:1)"},
      {At("project"), {{"Origin", "null"}}, "the request comes from another origin (null)"},
      {At("movie"), {{"Sec-Fetch-Site", "cross-site"}},
       "the request comes from another site (Sec-Fetch-Site: cross-site)"},
      {At("movie"), {{"Sec-Fetch-Site", "same-site"}},
       "the request comes from another site (Sec-Fetch-Site: same-site)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    log_.clear();
    auto res = client_->Get(c.path, c.headers);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 403);
    EXPECT_EQ(res->body, "refused: " + c.why + "\n");
    ASSERT_EQ(log_.size(), 1u);
    EXPECT_EQ(log_[0], "refused GET " + c.path + ": " + c.why);
  }
  // Nothing is written without the token or from another origin.
  for (const httplib::Headers& headers :
       {httplib::Headers{{"Origin", "http://attacker.example"}},
        httplib::Headers{{"Host", "rebound.example:" + port}}}) {
    auto res = client_->Put(At("project"), headers, "x", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 403);
  }
  auto res = client_->Put("/project", "x", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 403);
  EXPECT_FALSE(fs::exists(dir_.Path("project/p.klp")));
  // The page's own requests pass.
  res = client_->Get(At("notes.txt"), {{"Origin", Self()}, {"Sec-Fetch-Site", "same-origin"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 404);  // a page file by that name: there is none
  res = client_->Get(At("files/notes.txt"),
                     {{"Host", "localhost:" + port}, {"Origin", "http://localhost:" + port}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "notes");
}

TEST_F(EditServer, OnlyTheProjectsFolderIsServed) {
  fs::create_symlink(dir_.Path("secret.txt"), dir_.Path("project/link.txt"));
  fs::create_symlink(dir_.Path("project/notes.txt"), dir_.Path("project/inner.txt"));
  for (const std::string& rest :
       {std::string("files/../secret.txt"), std::string("files/%2e%2e/secret.txt"),
        std::string("files/page/../../secret.txt"), std::string("files//etc/passwd"),
        std::string("files/link.txt"), std::string("files/")}) {
    SCOPED_TRACE(rest);
    log_.clear();
    auto res = client_->Get(At(rest));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 403);
    EXPECT_EQ(res->body.rfind("outside the project's folder: ", 0), 0u) << res->body;
    EXPECT_EQ(log_.size(), 1u);
  }
  auto res = client_->Get(At("files/inner.txt"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "notes");
  res = client_->Get(At("files/none.txt"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 404);
  EXPECT_EQ(res->body, "no such file in the project's folder: none.txt\n");
  // Page and runtime files are plain names in their two folders.
  res = client_->Get(At("klp.js"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "// runtime");
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
  for (const std::string& rest : {std::string("..%2fsecret.txt"), std::string(".hidden"),
                                  std::string("page/index.html")}) {
    res = client_->Get(At(rest));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404) << rest;
  }
}

TEST_F(EditServer, TheMovieAnswersRangeRequests) {
  auto res = client_->Get(At("movie"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "0123456789abcdef");
  EXPECT_EQ(res->get_header_value("Content-Type"), "video/webm");
  res = client_->Get(At("movie"), {{"Range", "bytes=2-5"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 206);
  EXPECT_EQ(res->body, "2345");
  EXPECT_EQ(res->get_header_value("Content-Range"), "bytes 2-5/16");
  res = client_->Get(At("movie"), {{"Range", "bytes=12-"}});
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 206);
  EXPECT_EQ(res->body, "cdef");
  for (const char* range : {"bytes=40-50", "bytes=16-", "bytes=5-2"}) {
    res = client_->Get(At("movie"), {{"Range", range}});
    ASSERT_TRUE(res) << range;
    EXPECT_EQ(res->status, 416) << range;
    EXPECT_EQ(res->body, "");
  }
}

TEST_F(EditServer, TheSessionNamesTheProjectAndTheMovie) {
  auto res = client_->Get(At("session"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->get_header_value("Content-Type"), "application/json");
  EXPECT_EQ(res->body, "{\"project\":\"p.klp\",\"projectPath\":\"" + dir_.Path("project/p.klp") +
                           "\",\"exists\":false,\"movie\":{\"name\":\"movie.webm\",\"source\":"
                           "\"movie.webm\",\"frames\":200,\"fps\":25,\"width\":320,"
                           "\"height\":240}}");
}

TEST_F(EditServer, TheProjectIsWrittenWithItsPreviousVersionKept) {
  const std::string project = dir_.Path("project/p.klp");
  auto res = client_->Get(At("project"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 404);
  EXPECT_EQ(res->body, "the project " + project + " does not exist yet\n");

  res = client_->Put(At("project"), {{"Origin", Self()}}, "first\n", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->body, "saved p.klp\n");
  EXPECT_EQ(ReadFile(project), "first\n");
  EXPECT_FALSE(fs::exists(project + "~"));
  const mode_t mask = umask(022);  // the test's own, to know what a new file gets
  umask(mask);
  EXPECT_EQ(static_cast<mode_t>(fs::status(project).permissions() & fs::perms::all), 0666 & ~mask);
  fs::permissions(project, fs::perms::owner_read | fs::perms::owner_write);

  res = client_->Put(At("project"), "second\n", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(ReadFile(project), "second\n");
  EXPECT_EQ(ReadFile(project + "~"), "first\n");
  EXPECT_EQ(fs::status(project).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  EXPECT_EQ(fs::status(project + "~").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
  res = client_->Get(At("project"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "second\n");
  EXPECT_EQ(log_, (std::vector<std::string>{"saved " + project, "saved " + project}));

  // What is not written: a NUL byte, too much text, anything but the project.
  res = client_->Put(At("project"), std::string("a\0b", 3), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 400);
  EXPECT_EQ(res->body, "the project text holds a NUL byte\n");
  res = client_->Put(At("project"), std::string(2000, 'x'), "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 413);
  // The preview is kept in memory, never in the folder.
  res = client_->Get(At("preview/project.klp"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 404);
  res = client_->Put(At("preview/project.klp"), "[Global]\nSource=../movie\n", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  res = client_->Get(At("preview/project.klp"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "[Global]\nSource=../movie\n");
  EXPECT_EQ(res->get_header_value("Content-Type"), "application/kelvora-movie");
  for (const std::string& rest : {std::string("files/notes.txt"), std::string("movie"),
                                  std::string("preview/other.klp")}) {
    res = client_->Put(At(rest), "x", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 405);
    EXPECT_EQ(res->body, "only the project is written\n");
  }
  res = client_->Post(At("project"), "x", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 405);
  EXPECT_EQ(ReadFile(project), "second\n");
  EXPECT_EQ(ReadFile(dir_.Path("project/notes.txt")), "notes");
  EXPECT_EQ(ReadFile(movie_), "0123456789abcdef");
  // No temporary files are left beside it.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir_.Path("project"))) files += entry.is_regular_file();
  EXPECT_EQ(files, 4);  // movie.webm, notes.txt, p.klp, p.klp~
}

TEST(EditWrite, AFailedWriteLeavesThePathAsItWas) {
  klp::test::TempDir dir;
  fs::create_directory(dir.Path("folder.klp"));
  std::string error;
  EXPECT_FALSE(klp::edit::WriteProjectFile(dir.Path("folder.klp"), "x", &error));
  EXPECT_EQ(error, dir.Path("folder.klp") + " is not a regular file");
  EXPECT_FALSE(klp::edit::WriteProjectFile(dir.Path("none/p.klp"), "x", &error));
  EXPECT_EQ(error, "cannot create a file beside " + dir.Path("none/p.klp") +
                       ": No such file or directory");
  EXPECT_TRUE(fs::is_directory(dir.Path("folder.klp")));
  EXPECT_FALSE(fs::exists(dir.Path("none")));
}

TEST(EditCommand, BadCommandLinesAndMissingFiles) {
  klp::test::TempDir dir;
  const std::string movie = dir.Write("m.webm", "movie");
  EXPECT_EQ(klp::tools::DefaultProjectPath("/a/b/m.webm"), "/a/b/m.klp");
  EXPECT_EQ(klp::tools::DefaultProjectPath("m"), "m.klp");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string firstLine;
  };
  const std::vector<Case> cases = {
      {{"edit"}, 2, "klp edit: no movie given"},
      {{"edit", movie, "a.klp", "b.klp"}, 2, "klp edit: give a movie and at most one project"},
      {{"edit", movie, dir.Path("p.txt")},
       2,
       "klp edit: the project's name must end in .klp: " + dir.Path("p.txt")},
      {{"edit", movie, "--port"}, 2, "klp edit: unknown option --port"},
      {{"edit", dir.Path("none.webm")}, 3, "klp edit: no such movie: " + dir.Path("none.webm")},
      {{"edit", movie, dir.Path("no/p.klp")},
       3,
       "klp edit: no such folder for the project: " + dir.Path("no")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.back());
    Outcome run = Klp(c.args);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.err.substr(0, run.err.find('\n')), c.firstLine);
  }
  fs::create_directory(dir.Path("d.klp"));
  Outcome run = Klp({"edit", movie, dir.Path("d.klp")});
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(run.err, "klp edit: the project is not a file: " + dir.Path("d.klp") + "\n");
  // A movie named .klp is never taken for its own project.
  const std::string odd = dir.Write("odd.klp", "movie");
  run = Klp({"edit", odd});
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            "klp edit: the project and the movie are the same file: " + odd);
  EXPECT_EQ(klp::tools::Main({"edit", "--help"}, std::cout, std::cerr), 0);
}

// The program itself: --no-open prints the address and serves until it is told to stop.
TEST(EditCommand, NoOpenServesUntilInterrupted) {
  klp::test::TempDir dir;
  // A movie fixture of the test backend: probed without the media libraries.
  const std::string movie = dir.Write("m.sim", "# movie\nframes=90\nfps=30\nwidth=64\nheight=48\n");
  fs::create_directory(dir.Path("web"));
  dir.Write("web/klp.js", "");
  dir.Write("web/klp-edit.js", "");
  int pipeFds[2];
  ASSERT_EQ(pipe(pipeFds), 0);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeFds[1], 1);
    close(pipeFds[0]);
    const std::string web = dir.Path("web");
    execl(KLP_TOOL, KLP_TOOL, "edit", movie.c_str(), "--no-open", "--web-dir", web.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  close(pipeFds[1]);
  FILE* out = fdopen(pipeFds[0], "r");
  char line[512];
  ASSERT_TRUE(fgets(line, sizeof line, out));
  EXPECT_EQ(std::string(line), "klp edit: editing " + dir.Path("m.klp") + "\n");
  ASSERT_TRUE(fgets(line, sizeof line, out));
  std::string url(line, strlen(line) - 1);
  ASSERT_EQ(url.rfind("http://127.0.0.1:", 0), 0u) << url;
  const size_t slash = url.find('/', 17);
  httplib::Client client(url.substr(0, slash));
  auto res = client.Get(url.substr(slash) + "session");
  ASSERT_TRUE(res);
  EXPECT_NE(res->body.find("\"movie\":{\"name\":\"m.sim\",\"source\":\"m.sim\",\"frames\":90,"
                           "\"fps\":30,\"width\":64,\"height\":48}"),
            std::string::npos)
      << res->body;
  res = client.Put(url.substr(slash) + "project", "[Global]\n", "text/plain");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(ReadFile(dir.Path("m.klp")), "[Global]\n");
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  fclose(out);
}

}  // namespace
