// libmdb itself, in this process, doing exactly what the JetReader's child does: open the
// file, read the catalog, list the user tables and stream every table's columns and rows.
// Built only with libFuzzer: it answers whether libmdb crashes on a damaged structure file
// (it does; that is why the JetReader reads in a child, which jet_reader checks).
// The file goes through a memfd, so libmdb reads it with its ordinary open().
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <string>

#include "db/jet/AnswerWriter.h"
#include "db/jet/JetWire.h"
#include "db/jet/MdbDatabase.h"

using dsadmin::AnswerWriter;
using dsadmin::MdbDatabase;

namespace {

int devNull() {
    static const int fd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    return fd;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const int fd = ::memfd_create("structure-file", MFD_CLOEXEC);
    if (fd < 0) return 0;
    if (::write(fd, data, size) == static_cast<ssize_t>(size)) {
        try {
            MdbDatabase db("/proc/self/fd/" + std::to_string(fd));
            for (const std::string& name : db.userTables()) {
                try {
                    AnswerWriter out(devNull(), dsadmin::jetwire::kTable);
                    db.writeTable(name, out);
                    out.finish();
                } catch (const MdbDatabase::Failure&) {
                }
            }
        } catch (const MdbDatabase::Failure&) {
        }
    }
    ::close(fd);
    return 0;
}
