#include "project/line_reader.h"

#include <cstring>

namespace klp {
namespace {
constexpr std::size_t kBufferSize = 64 * 1024;
}

FileLineReader::FileLineReader(const std::string& path)
    : file_(std::fopen(path.c_str(), "rb")), buffer_(new char[kBufferSize]) {}

FileLineReader::~FileLineReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool FileLineReader::Fill() {
  if (atEnd_ || failed_ || file_ == nullptr) return false;
  const std::size_t count = std::fread(buffer_.get(), 1, kBufferSize, file_);
  if (std::ferror(file_)) {
    failed_ = true;
    return false;
  }
  if (count == 0) {
    atEnd_ = true;
    return false;
  }
  begin_ = 0;
  end_ = count;
  return true;
}

LineStatus FileLineReader::Next(std::string& line) {
  line.clear();
  bool partial = false;  // part of a line without its line feed is in `line`
  for (;;) {
    if (begin_ == end_ && !Fill()) {
      if (failed_ || file_ == nullptr) return LineStatus::kError;
      return partial ? LineStatus::kLine : LineStatus::kEnd;
    }
    const char* start = buffer_.get() + begin_;
    const std::size_t available = end_ - begin_;
    const void* feed = std::memchr(start, '\n', available);
    if (feed != nullptr) {
      const std::size_t length = static_cast<const char*>(feed) - start;
      line.append(start, length);
      begin_ += length + 1;
      return LineStatus::kLine;
    }
    line.append(start, available);
    begin_ = end_;
    partial = true;
  }
}

}  // namespace klp
