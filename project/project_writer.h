// Writing a project back as a project file that Read takes into the same records.
//
// Every record line is checked by parsing it again as the reader will (trimmed, with its own
// record's Parse) and the file refuses to be written when a value would come back other than it
// is: a name holding ":" where the line has no quoting, a negative frame, a line break, a line
// that would be taken for a comment or a section header. The counts are the writer's own: the
// "Global" counts and each hot spot's key-frame count are the sizes of the lists, whatever the
// count fields say. Checked as playable (the default), the writer also refuses what `klp check`
// warns of: a project without a movie name, names in quotes or given twice, shapes that are never
// hit, key frames out of order or with empty rectangles, hot spots without key frames or never
// shown, effects that belong to no hot spot or to one that has an effect already.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "project/project_info.h"
#include "project/read_observer.h"

namespace klp {

// The comment lines of an opened file and the "Global" keys the reader does not know, kept by
// what they stand before: given to Read as its observer, then to WriteProject. A comment goes
// before the section header, record or key frame it preceded (records found by section, name
// and how many of that name came before; key frames by their hot spot and frame); comments after
// the last line stay at the end. Not kept: blank lines, the places of comments among the known
// "Global" keys (they move below the keys), sections other than [Global] before the records,
// comments of records since removed or renamed, and lines the reader drops; lines it misreads
// are written as the records it made of them.
class FileLayout final : public ReadObserver {
 public:
  void OnLine(const ReadLine& line) override;

  std::vector<std::string> head;        // before the [Global] header
  std::vector<std::string> globalTail;  // comments and unknown keys of [Global], after its keys
  // By section ("M"), record (section, name, occurrence) or key frame (record, frame).
  std::map<std::string, std::vector<std::string>> before;
  std::vector<std::string> tail;  // waiting for the next line; after Read, the file's last

 private:
  void Attach(std::vector<std::string>& to);  // the comments waiting, to what follows them

  std::map<std::string, int> seen_;  // names met so far, by section and name
  std::string spotKey_;              // key of the hot spot whose key frames are being read
  bool sawGlobal_ = false;
  bool otherSection_ = false;  // inside a bracketed section other than [Global]
};

enum class WriteCheck {
  kPlayable,  // refuse also what `klp check` warns of
  kExact,     // refuse only what would not read back the same
};

struct WriteResult {
  std::string text;                 // the file, when errors is empty
  std::vector<std::string> errors;  // one sentence per problem, naming the record
  bool ok() const { return errors.empty(); }
};

// The project as the text of a project file; layout, when given, puts back comments and unknown
// "Global" keys of the file it was read from.
WriteResult WriteProject(const CProjectInfo& project, const FileLayout* layout = nullptr,
                         WriteCheck check = WriteCheck::kPlayable);

// A colour as authors write it: six hexadecimal digits at least, RRGGBB.
std::string ColourText(int32_t value);

// The first field, by name, in which two records differ; null when they are the same. Counts of
// key frames are compared through the key frames themselves.
const char* DifferingField(const CEventInfo& a, const CEventInfo& b);
const char* DifferingField(const CMarkerInfo& a, const CMarkerInfo& b);
const char* DifferingField(const CHotSpotInfo& a, const CHotSpotInfo& b);
const char* DifferingField(const CLinkInfo& a, const CLinkInfo& b);
const char* DifferingField(const CEffectInfo& a, const CEffectInfo& b);

}  // namespace klp
