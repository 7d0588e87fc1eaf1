// A profile file opened for one whole read or one whole write, as the C
// runtime's "rb" and "wb" open it. Names may use '\' as the separator (the
// profile folder is built Windows-style). A file made here is private to
// the user, as every file of the system root is.
#pragma once

#include "platform/windows.h"

#include <cstddef>

class CProfileFile {
public:
    CProfileFile() = default;
    ~CProfileFile();
    CProfileFile(const CProfileFile&) = delete;
    CProfileFile& operator=(const CProfileFile&) = delete;

    // "rb": an existing regular file (not a folder, pipe or device).
    bool OpenForReading(const char* path);
    // "wb": created, or emptied when it exists.
    bool OpenForWriting(const char* path);

    // The length of a file open for reading; -1 when unknown.
    long long Length() const;
    // All `size` bytes or false.
    bool ReadAll(void* data, size_t size);
    bool WriteAll(const void* data, size_t size);
    // False when the file was not open or the system reports a failure on
    // closing (the data may not have reached the file).
    bool Close();

private:
    template <class Call>
    bool Whole(size_t size, Call call);

    int m_fd = -1;
};
