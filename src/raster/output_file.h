// An output file that appears whole or not at all.
//
// The bytes go to a temporary file made in the folder of the final name (a new name,
// created exclusively, so two runs never share it). commit() flushes it to the disk and
// renames it onto the final name in one step: a reader sees either the earlier file or
// the new one, never a mixture, and a symbolic link at the final name is replaced, not
// followed. When the file is not committed (an error, a run cut short) the temporary
// file is removed and an earlier file of the final name stays as it was.
#pragma once

#include <cstdio>
#include <string>

class OutputFile {
  public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile() { abandon(); }

    // Creates the temporary file for `final_path` (text mode when `text`, which only
    // matters on Windows). False when it cannot be created, or when the final name is
    // a folder, a FIFO, a device or anything else but a regular file or a link.
    bool open(const std::string& final_path, bool text = false);

    // The stream to write to; null when not open.
    std::FILE* get() const { return f_; }
    bool is_open() const { return f_ != nullptr; }
    const std::string& final_path() const { return final_; }
    // The temporary file while open, for a writer that fills it by other means (the
    // processes of an MPI job, through MPI-IO) before commit() puts it in place.
    const std::string& temp_path() const { return temp_; }

    // Writes `n` bytes at the current position. False when not open or once a write or
    // a seek has failed; commit() then fails too.
    bool write(const void* data, std::size_t n);
    // Moves to byte `offset` of the file (64-bit on every system), for writers that put
    // rows out of order.
    bool seek(long long offset);

    // Flushes, syncs and closes the temporary file, then renames it onto the final name.
    // False when any of these fails or when the stream met a write error; the temporary
    // file is then removed. Nothing is left open either way.
    bool commit();

    // Closes and removes the temporary file; the final name is not touched.
    void abandon();

  private:
    std::FILE* f_ = nullptr;
    std::string final_;
    std::string temp_;
    bool failed_ = false;  // a write or seek failed
};

// True when `path` names an existing folder, FIFO, device or socket: something that is
// not a regular file (after following links) and never to be read as a map.
bool is_special_file(const std::string& path);

// Opens `path` for reading only when it is a regular file, without ever blocking on a
// FIFO or a device. Null when it cannot be opened; `not_regular` is then set when the
// path exists but is no regular file.
std::FILE* open_regular(const std::string& path, const char* mode, bool& not_regular);

// The bytes an unprivileged writer may still put in the folder of `path` (a file in it);
// -1 when the system does not say.
long long free_bytes(const std::string& path);

// True when the two paths name the same existing file (the same device and file number,
// whatever the spelling, links and case of the names).
bool same_file(const std::string& a, const std::string& b);
