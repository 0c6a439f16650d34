#pragma once
// Writes a file through a temporary file in the same folder, renamed into place by
// commit(). Until then the target is untouched; the destructor removes an uncommitted
// temporary file.

#include <cstdint>
#include <string>

#include "jet/Page.h"

namespace dsadmin::jet {

class FileOutput {
  public:
    // Creates the temporary file. Without `overwrite`, throws JetWriteError when `path`
    // exists already; also when the folder cannot take a new file.
    FileOutput(std::string path, bool overwrite);
    FileOutput(const FileOutput&) = delete;
    FileOutput& operator=(const FileOutput&) = delete;
    ~FileOutput();

    // Writes page number `number` (at offset number x 4096). Runs of consecutive pages are
    // gathered into large writes. Throws JetWriteError when the data cannot be written.
    void put(std::uint32_t number, const Page& page);
    // Flushes, syncs and renames the temporary file to the target (without `overwrite`,
    // refusing to replace a file that appeared meanwhile). Throws JetWriteError.
    void commit();

  private:
    [[noreturn]] void fail(const std::string& what) const;
    void flush();

    std::string path_;
    std::string temp_;
    bool overwrite_;
    int fd_ = -1;
    std::string buffer_;
    std::uint64_t bufferAt_ = 0;  // file offset of buffer_'s first byte
};

}  // namespace dsadmin::jet
