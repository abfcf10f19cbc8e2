// What the save's shared part needs from each platform.
#pragma once

#include <cstdint>
#include <string>

namespace brand {
class SaveContent;
}

namespace brand::detail {

char PathSeparator();
unsigned long CurrentProcessId();
// True when an open failed because the file already exists.
bool IsExistsError(long lOsError);
void RemoveFile(const std::string& path) noexcept;

// Writes and flushes the content to a new temporary file in folder, whose
// name it puts in temp. False, with nothing left behind, when the folder gives
// no temporary file; throws, with nothing left behind, when writing fails.
bool WriteTemp(const std::string& folder, std::string& temp, const SaveContent& content);

}  // namespace brand::detail
