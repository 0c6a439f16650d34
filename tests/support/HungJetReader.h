#pragma once
// A structure-file reader that hangs, as one stuck on a stalled mount does: while a
// HungJetReader lives, every dsadmin-jetreader this process starts waits before its first
// instruction, its dynamic loader blocked opening a FIFO that stands in for libmdb (found
// first through LD_LIBRARY_PATH, which only programs started from now on read). Killing the
// reader ends the wait. Also sets the reader's time limit for readers made meanwhile.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

class HungJetReader {
  public:
    explicit HungJetReader(std::chrono::milliseconds timeout);
    ~HungJetReader();
    HungJetReader(const HungJetReader&) = delete;
    HungJetReader& operator=(const HungJetReader&) = delete;

    // The children of this process that are structure-file readers, ended ones not yet
    // reaped (zombies) included.
    static std::vector<pid_t> Readers();

  private:
    std::string folder_;
    std::optional<std::string> oldPath_;
};

}  // namespace testsupport
