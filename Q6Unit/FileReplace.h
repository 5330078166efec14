// Replacing a file safely, as a save does: the new bytes go to a temporary
// file beside the target, which takes the target's place only once every
// byte is on disk; on any failure the target is untouched.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Writes the file FName through `write`, which gets the temporary file's
// descriptor and returns false on failure. A symbolic link is followed; an
// existing target must be a regular file that may be written and that no
// other program holds locked; it keeps its permissions.
bool ReplaceFile(const std::string& FName, const std::function<bool(int fd)>& write);

// Writes all of buf to fd (retrying short writes); false on an error.
bool WriteAll(int fd, std::string_view buf);
