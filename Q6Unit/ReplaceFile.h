// Writing a file so that it is replaced whole or not at all.
#pragma once

#include <functional>
#include <string>
#include <string_view>

// Writes FName by way of a new file beside it: `write` fills the new file
// (an open descriptor); once every byte has reached the disk the new file is
// renamed over FName. On any failure FName is untouched, the new file is
// removed and false is returned, with the cause (an errno value) in *err.
// A symbolic link is followed (its file is replaced); an existing file is
// replaced only where it could be written in place, and not while another
// program holds a lock on it; its permissions carry over.
bool ReplaceFile(const std::string& FName, const std::function<bool(int fd)>& write, int* err = nullptr);

// Past a file-size limit (ulimit -f) a write then fails with EFBIG instead of
// the default signal ending the program.
void IgnoreFileSizeSignal();

// Writes all of buf to fd, retrying short and interrupted writes; false on
// an error (errno tells which).
bool WriteAll(int fd, std::string_view buf);
