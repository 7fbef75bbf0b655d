// Reads of project files begun ahead of CProjectInfo::Read and done a slice of lines at a time,
// for a host that hands the plug-in a large project and must keep its page running meanwhile.
// The plug-in's own Read of the same path (without an observer) then finishes the read begun and
// takes its result, which is the one Read would have made. The file must not change between
// BeginReadAhead and that Read; a change of its size makes Read read it afresh.
#pragma once

#include <string>

class CProjectInfo;

namespace klp {

// Begins reading the project file at path ("Global" values first); the id for the calls below.
int BeginReadAhead(const std::string& path);
// Reads up to lines more lines of read id; true while lines are left to read.
bool StepReadAhead(int id, int lines);
// Forgets read id, whether Read has taken it or not.
void EndReadAhead(int id);
// Read's part: the read begun for path and not yet taken, finished and moved into project, with
// Read's result. False when there is none, or project already holds records.
bool TakeReadAhead(const std::string& path, CProjectInfo& project, int* result);
// Reads begun and not yet ended.
int ReadsAhead();

}  // namespace klp
