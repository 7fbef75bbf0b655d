#include "project/read_ahead.h"

#include <sys/stat.h>

#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <stdexcept>
#include <utility>

#include "project/project_info.h"

namespace klp {
namespace {

long long FileSize(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 ? static_cast<long long>(info.st_size) : -1;
}

struct ReadAhead {
  explicit ReadAhead(const std::string& p) : path(p), size(FileSize(p)) {}

  // Read's steps, each a slice of its work; an allocation failure fails the read as in Read.
  void Begin() {
    Guard([&] {
      project.ReadGlobal(path);
      lines = std::make_unique<FileLineReader>(path);
      if (!lines->IsOpen()) return Finish(-1);
      reader = std::make_unique<RecordReader>(project, nullptr);
    });
  }

  bool Step(int count) {
    Guard([&] {
      for (int i = 0; i < count && !done; ++i) {
        const LineStatus status = lines->Next(line);
        if (status == LineStatus::kLine)
          reader->Take(line);
        else
          Finish(reader->Finish(status));
      }
    });
    return !done;
  }

  template <class F>
  void Guard(F&& step) {
    if (done) return;
    try {
      step();
    } catch (const std::bad_alloc&) {
      Finish(-1);
    } catch (const std::length_error&) {
      Finish(-1);
    }
  }

  void Finish(int code) {
    result = code;
    done = true;
    reader.reset();
    lines.reset();
  }

  const std::string path;
  const long long size;  // the file's, when the read began
  CProjectInfo project;
  std::unique_ptr<FileLineReader> lines;
  std::unique_ptr<RecordReader> reader;
  std::string line;
  int result = 0;
  bool done = false;
  bool taken = false;
};

std::mutex g_lock;
std::map<int, std::unique_ptr<ReadAhead>> g_reads;
int g_lastId = 0;

ReadAhead* Find(int id) {
  const auto it = g_reads.find(id);
  return it == g_reads.end() ? nullptr : it->second.get();
}

}  // namespace

int BeginReadAhead(const std::string& path) {
  std::unique_ptr<ReadAhead> read;
  try {
    read = std::make_unique<ReadAhead>(path);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  read->Begin();
  std::lock_guard lock(g_lock);
  const int id = ++g_lastId;
  g_reads[id] = std::move(read);
  return id;
}

bool StepReadAhead(int id, int lines) {
  std::lock_guard lock(g_lock);
  ReadAhead* read = Find(id);
  return read != nullptr && read->Step(lines);
}

void EndReadAhead(int id) {
  std::lock_guard lock(g_lock);
  g_reads.erase(id);
}

int ReadsAhead() {
  std::lock_guard lock(g_lock);
  return static_cast<int>(g_reads.size());
}

bool TakeReadAhead(const std::string& path, CProjectInfo& project, int* result) {
  std::lock_guard lock(g_lock);
  if (!project.events.empty() || !project.markers.empty() || !project.hotSpots.empty() ||
      !project.links.empty() || !project.effects.empty())
    return false;
  for (auto& [id, read] : g_reads) {
    if (read->taken || read->path != path) continue;
    if (FileSize(path) != read->size) return false;
    while (read->Step(1 << 16)) {
    }
    project = std::move(read->project);
    read->taken = true;
    *result = read->result;
    return true;
  }
  return false;
}

}  // namespace klp
