// A stand-in for npklod32-ui that plays a script, for the client's tests.
//
// KLP_FAKE_UI_LOG: a file that gets the arguments ("argv ...") and every line received.
// KLP_FAKE_UI_START: "silent" never says ready; "deaf" says ready and shuts its input.
// KLP_FAKE_UI: the steps played after each `show`, separated by ';':
//   chosen N | click N | key N | close   answer for the request up now ("$S" its serial); after
//                                        click, key and close, wait for the update or end
//   raw TEXT                             send TEXT ($S: the serial, $P: the serial - 1)
//   alive MS                             say alive every 100 ms for MS ms
//   exit N                               exit with status N
//   hang                                 stop answering, for good
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

FILE* g_log = nullptr;
std::string g_serial = "0";

void Log(const std::string& line) {
  if (!g_log) return;
  std::fprintf(g_log, "%s\n", line.c_str());
  std::fflush(g_log);
}

void Say(std::string line) {
  for (size_t at; (at = line.find("$S")) != std::string::npos;) line.replace(at, 2, g_serial);
  for (size_t at; (at = line.find("$P")) != std::string::npos;)
    line.replace(at, 2, std::to_string(std::stoll(g_serial) - 1));
  line += '\n';
  if (write(STDOUT_FILENO, line.data(), line.size()) < 0) std::exit(0);
}

// The next line from the plug-in; exits at the end of input.
std::string Receive() {
  static std::string buffer;
  for (;;) {
    size_t end = buffer.find('\n');
    if (end != std::string::npos) {
      std::string line = buffer.substr(0, end);
      buffer.erase(0, end + 1);
      Log(line);
      return line;
    }
    char buf[1024];
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) std::exit(0);
    buffer.append(buf, static_cast<size_t>(n));
  }
}

void WaitForReply() {
  for (;;) {
    std::string line = Receive();
    if (line.rfind("update ", 0) == 0 || line.rfind("end ", 0) == 0) return;
  }
}

void Play(const std::string& step) {
  std::istringstream in(step);
  std::string verb;
  in >> verb;
  std::string rest;
  std::getline(in, rest);
  if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
  if (verb == "chosen") {
    Say("chosen $S " + rest);
  } else if (verb == "click" || verb == "key") {
    Say(verb + " $S " + rest);
    WaitForReply();
  } else if (verb == "close") {
    Say("close $S");
    WaitForReply();
  } else if (verb == "raw") {
    Say(rest);
  } else if (verb == "alive") {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::stoi(rest));
    while (std::chrono::steady_clock::now() < end) {
      Say("alive");
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
  } else if (verb == "exit") {
    std::exit(std::stoi(rest));
  } else if (verb == "hang") {
    for (;;) pause();
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* log = std::getenv("KLP_FAKE_UI_LOG")) g_log = std::fopen(log, "a");
  std::string args = "argv";
  for (int i = 1; i < argc; ++i) args += std::string(" ") + argv[i];
  Log(args);
  std::string start = std::getenv("KLP_FAKE_UI_START") ? std::getenv("KLP_FAKE_UI_START") : "";
  if (start == "silent") {
    for (;;) pause();
  }
  if (start == "deaf") {
    shutdown(STDIN_FILENO, SHUT_RD);
    Say("ready 1");
    for (;;) pause();
  }
  Say("ready 1");
  std::vector<std::string> steps;
  std::istringstream script(std::getenv("KLP_FAKE_UI") ? std::getenv("KLP_FAKE_UI") : "");
  for (std::string s; std::getline(script, s, ';');)
    if (!s.empty()) steps.push_back(s);
  for (;;) {
    std::string line = Receive();
    if (line.rfind("menu ", 0) == 0 || line.rfind("dialog ", 0) == 0) {
      std::istringstream header(line);
      std::string verb;
      header >> verb >> g_serial;
    } else if (line == "show") {
      for (const std::string& step : steps) Play(step);
    }
  }
}
