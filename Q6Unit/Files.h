// The file system work of loading and saving: opening a drawing for reading,
// with the reason when it is refused, and writing a file so that it is
// replaced whole or not at all.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Why a file was not opened for reading.
enum class OpenRefusal {
    None,        // it opened
    System,      // the system refused it (missing, no permission ...): an errno value tells why
    NotRegular,  // a folder, a device, a pipe or a socket
    Locked,      // another program holds an exclusive lock on it: one of our writers is replacing it
};

// A file opened for reading, or why not.
struct OpenedFile {
    int fd = -1;              // the descriptor, -1 when refused; closing it releases the lock
    std::uint64_t size = 0;   // its size when opened
    OpenRefusal refusal = OpenRefusal::None;
    int err = 0;              // for OpenRefusal::System, the errno value
};

// Opens path for reading: a regular file only, with a shared advisory lock
// that keeps our own writers out while it is held.
OpenedFile OpenForReading(const std::string& path);

// The refusal as a person reads it: the system's text for its errno value,
// "not a regular file", "another program holds it open for writing"; empty
// for OpenRefusal::None.
std::string DescribeRefusal(OpenRefusal why, int err);

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
