// Line-by-line reading of a text file, as the project-file reader and the profile reader need it.
//
// A line ends at a line feed, which is not part of it; every other byte (carriage returns, NUL
// bytes, bytes that are not valid in any encoding) is kept. The last line needs no line feed.
// End of file and a read error are told apart, so that a caller can fail on the latter.
// LineSource is the seam through which tests feed lines and errors to the reader.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <string>

namespace klp {

enum class LineStatus { kLine, kEnd, kError };

class LineSource {
 public:
  virtual ~LineSource() = default;
  // Replaces line with the next line and returns kLine; or returns kEnd at the end of the input
  // or kError when the input cannot be read. After kEnd or kError it keeps returning the same.
  virtual LineStatus Next(std::string& line) = 0;
};

// Lines of a file opened for reading at its start; the file is closed on destruction.
class FileLineReader final : public LineSource {
 public:
  explicit FileLineReader(const std::string& path);
  ~FileLineReader() override;
  FileLineReader(const FileLineReader&) = delete;
  FileLineReader& operator=(const FileLineReader&) = delete;

  bool IsOpen() const { return file_ != nullptr; }
  LineStatus Next(std::string& line) override;

 private:
  bool Fill();  // false at end of file or on error (then failed_ is set)

  std::FILE* file_ = nullptr;
  std::unique_ptr<char[]> buffer_;
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace klp
