// Read throughput of CProjectInfo::Read on generated projects of about 5, 10, 20 and 50 MB
// (10^6 bytes). Each unit of a project is one hot spot with 10 key frames plus a marker, an event,
// a link and an effect (about 500 bytes), so the 50 MB project holds 100 000 hot spots.
// BM_CrowdRead reads the hostile page tests' project: 100 000 hot spots of one key frame each,
// with names of 51 characters (about 8 MB).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "project/project_info.h"

namespace {

constexpr int64_t kUnitsPerMegabyte = 2000;

// prefix followed by i in seven digits: names of equal length throughout the file.
std::string Name(const char* prefix, int64_t i) {
  std::string digits = std::to_string(i);
  return prefix + std::string(digits.size() < 7 ? 7 - digits.size() : 0, '0') + digits;
}

void WriteProject(const std::string& path, int64_t units) {
  std::ofstream out(path, std::ios::binary);
  out << "[Global]\r\nKLPVersion=1.00\r\nSource=bench.mpg\r\n"
      << "Event=" << units << "\r\nMarker=" << units << "\r\nHotSpot=" << units
      << "\r\nLink=" << units << "\r\nEffect=" << units << "\r\n";
  out << "[HotSpot]\r\n";
  for (int64_t i = 0; i < units; ++i) {
    const int64_t start = 1000000 + i * 25;
    out << '(' << Name("spot", i) << ':' << Name("link", i) << ":R:" << start << '-'
        << start + 225 << ":10)\r\n; " << Name("spot", i) << " moves right\r\n";
    for (int k = 0; k < 10; ++k) {
      out << start + k * 25 << ':' << 100 + k << ',' << 120 + k << ',' << 360 + k << ','
          << 270 + k << "\r\n";
    }
  }
  out << "[Marker]\r\n";
  for (int64_t i = 0; i < units; ++i) out << Name("marker", i) << ':' << 1000000 + i * 25 << "\r\n";
  out << "[Event]\r\n";
  for (int64_t i = 0; i < units; ++i) {
    out << Name("event", i) << ':' << 1000000 + i * 25 << ":URL:\"http://example.invalid/"
        << Name("page", i) << ".html\",main\r\n";
  }
  out << "[Link]\r\n";
  for (int64_t i = 0; i < units; ++i) {
    out << Name("link", i) << ":URL:\"" << Name("page", i) << ".html\",_self:extra\r\n";
  }
  out << "[Effect]\r\n";
  for (int64_t i = 0; i < units; ++i) out << Name("spot", i) << ":#FF00:2:0xFFFF:1\r\n";
}

// The hostile page tests' crowd of hot spots.
void WriteCrowd(const std::string& path, int64_t spots) {
  std::ofstream out(path, std::ios::binary);
  out << "[Global]\nKLPVersion=1.00\nSource=crowd.webm\nEvent=0\nMarker=1\nHotSpot=" << spots
      << "\nLink=0\nEffect=0\n\n[Marker]\nstart:0\n\n[HotSpot]\n";
  for (int64_t i = 0; i < spots; ++i) {
    const std::string digits = std::to_string(i);
    const int64_t x = (i * 7) % 280, y = (i * 13) % 200;
    out << "(spot" << std::string(6 - digits.size(), '0') << digits << '_' << std::string(40, 'x')
        << "::R:0-99:1)\n0:" << x << ',' << y << ',' << x + 30 << ',' << y + 30 << '\n';
  }
}

class GeneratedProject {
 public:
  explicit GeneratedProject(int64_t units, bool crowd = false) {
    std::random_device random;
    path_ = (std::filesystem::temp_directory_path() /
             ("klp_bench_" + std::to_string(random()) + ".klp"))
                .string();
    if (crowd)
      WriteCrowd(path_, units);
    else
      WriteProject(path_, units);
    size_ = static_cast<int64_t>(std::filesystem::file_size(path_));
  }
  ~GeneratedProject() {
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  const std::string& path() const { return path_; }
  int64_t size() const { return size_; }

 private:
  std::string path_;
  int64_t size_ = 0;
};

void BM_ProjectRead(benchmark::State& state) {
  const int64_t units = state.range(0) * kUnitsPerMegabyte;
  const GeneratedProject file(units);
  for (auto _ : state) {
    CProjectInfo project;
    if (project.Read(file.path()) != 0 || project.hotSpotCount != units) {
      state.SkipWithError("the generated project was not read");
      break;
    }
    benchmark::DoNotOptimize(project.hotSpots.data());
  }
  state.SetBytesProcessed(state.iterations() * file.size());
  state.counters["MB"] = static_cast<double>(file.size()) / 1e6;
  state.counters["hot_spots"] = static_cast<double>(units);
}

BENCHMARK(BM_ProjectRead)
    ->Arg(5)
    ->Arg(10)
    ->Arg(20)
    ->Arg(50)
    ->Unit(benchmark::kMillisecond)
    ->MinWarmUpTime(1.0)
    ->MinTime(2.0);

void BM_CrowdRead(benchmark::State& state) {
  const int64_t spots = state.range(0);
  const GeneratedProject file(spots, true);
  for (auto _ : state) {
    CProjectInfo project;
    if (project.Read(file.path()) != 0 || project.hotSpotCount != spots) {
      state.SkipWithError("the generated project was not read");
      break;
    }
    benchmark::DoNotOptimize(project.hotSpots.data());
  }
  state.SetBytesProcessed(state.iterations() * file.size());
  state.counters["MB"] = static_cast<double>(file.size()) / 1e6;
}

BENCHMARK(BM_CrowdRead)->Arg(100000)->Unit(benchmark::kMillisecond)->MinWarmUpTime(1.0)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
