#include "db/jet/JetReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>

#include "base/SystemErrorText.h"
#include "base/UniqueFd.h"
#include "db/DbError.h"
#include "db/jet/AnswerReader.h"
#include "db/jet/ChildProcess.h"
#include "db/jet/JetName.h"
#include "db/jet/JetWire.h"

namespace dsadmin {
namespace {

// An answer above this size means a damaged file claiming absurd contents.
constexpr std::size_t kMaxAnswer = std::size_t{2} << 30;

std::string quoted(std::string_view s) {
    return "“" + std::string(s) + "”";
}

[[noreturn]] void throwInvalid(const std::string& path, const std::string& why) {
    throw DbError(quoted(path) + "不是有效的结构文件（" + why + "）。");
}

std::string describeEnd(const ChildProcess::Outcome& o) {
    switch (o.end) {
        case ChildProcess::End::Signalled:
            return "读取程序因信号 " + std::to_string(o.code) + " 崩溃";
        case ChildProcess::End::TimedOut:
            break;  // reported by ask()
        case ChildProcess::End::TooLarge:
            return "应答过大";
        case ChildProcess::End::Exited:
            break;
    }
    return "读取程序以状态 " + std::to_string(o.code) + " 退出";
}

JetType toJetType(std::uint8_t code) {
    if ((code >= 0x01 && code <= 0x0C) || code == 0x0F || code == 0x10)
        return static_cast<JetType>(code);
    return JetType::Other;
}

}  // namespace

int JetTable::columnIndex(std::string_view wanted) const {
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (JetName::same(columns[i].name, wanted)) return static_cast<int>(i);
    return -1;
}

namespace {
std::atomic<std::chrono::milliseconds::rep> defaultTimeoutMs{JetReader::kDefaultTimeout.count()};
}  // namespace

std::chrono::milliseconds JetReader::DefaultTimeout() {
    return std::chrono::milliseconds(defaultTimeoutMs.load());
}

void JetReader::SetDefaultTimeoutForTests(std::chrono::milliseconds timeout) {
    defaultTimeoutMs.store(timeout.count());
}

JetReader::JetReader(std::string path, std::chrono::milliseconds timeout)
    : path_(std::move(path)), timeout_(timeout) {
    struct stat st {};
    if (::stat(path_.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            throw DbError("结构文件" + quoted(path_) + "不存在。");
        throw DbError("无法读取结构文件" + quoted(path_) + "：" + SystemErrorText(errno) + "。");
    }
    if (!S_ISREG(st.st_mode))
        throw DbError("结构文件" + quoted(path_) + "不是普通文件" +
                      (S_ISDIR(st.st_mode) ? "（是文件夹）。" : "。"));
    if (!UniqueFd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC)))
        throw DbError("无法读取结构文件" + quoted(path_) + "：" + SystemErrorText(errno) + "。");
}

namespace {

void appendStr(std::string& out, std::string_view s) {
    const auto n = static_cast<std::uint32_t>(s.size());
    out.append(reinterpret_cast<const char*>(&n), sizeof n);
    out.append(s);
}

std::string request(char kind, const std::string& path) {
    std::string r(jetwire::kRequestMagic, sizeof jetwire::kRequestMagic);
    r.push_back(kind);
    appendStr(r, path);
    return r;
}

void throwReported(const std::string& path, const std::string& table, AnswerReader& in) {
    std::uint8_t code = in.u8();
    std::string detail = in.str();
    if (code == jetwire::kNoTable)
        throw DbError("结构文件" + quoted(path) + "中找不到表" + quoted(table) + "。");
    if (code == jetwire::kNoColumn) throw JetReaderSession::NoColumn(detail);
    throwInvalid(path, detail);
}

// The header of a table answer ('R', 'V', 'W'): name and columns. Reserves room for the
// rows the definition announces, unless that is absurd beside the answer's size.
JetTable readHeader(AnswerReader& in, std::size_t answerSize) {
    JetTable t;
    t.name = in.str();
    std::uint32_t ncols = in.u32();
    if (ncols > 4096) throw AnswerReader::Garbled("列数过多");
    for (std::uint32_t i = 0; i < ncols; ++i) {
        JetColumn c;
        c.name = in.str();
        std::uint8_t type = in.u8();
        c.type = toJetType(type);
        c.size = static_cast<int>(in.u32());
        t.columns.push_back(std::move(c));
    }
    std::uint64_t announced = in.u32();
    if (ncols > 0 && announced * ncols * sizeof(Value) <= answerSize * 8)
        t.cells.reserve(announced * ncols);
    return t;
}

}  // namespace

std::vector<std::string> JetReader::tableNames() const {
    return JetReaderSession(*this).tableNames();
}

JetTable JetReader::readTable(std::string_view name) const {
    return JetReaderSession(*this).readTable(name);
}

JetReaderSession::JetReaderSession(JetReader reader, std::function<void()> whileWaiting)
    : reader_(std::move(reader)), whileWaiting_(std::move(whileWaiting)) {}

JetReaderSession::~JetReaderSession() = default;

// Sends one request to the helper (started when none runs) and returns the answer, or throws
// the DbError for a crash, a timeout, garbage or an error the helper reported. A helper that
// failed is gone; the next request starts another.
std::string JetReaderSession::ask(const std::string& request) {
    const std::string& path = reader_.path();
    const auto timeout = reader_.timeout();
    const std::string helper = JetReaderHelperPath();
    ChildProcess::Outcome o;
    try {
        if (!child_ || !child_->running())
            child_ = std::make_unique<ChildProcess>(
                std::vector<std::string>{helper, std::to_string(::getpid())});
        o = child_->exchange(request, timeout, kMaxAnswer, whileWaiting_);
    } catch (const std::system_error& e) {
        throw DbError("无法启动结构文件读取程序 " + quoted(helper) + "：" + e.code().message());
    }
    if (o.end == ChildProcess::End::TimedOut)
        throw DbError("读取结构文件" + quoted(path) + "超时：" +
                      (timeout.count() % 1000 == 0 ? std::to_string(timeout.count() / 1000) + " 秒"
                                                   : std::to_string(timeout.count()) + " 毫秒") +
                      "内没有应答。");
    if (o.end != ChildProcess::End::Exited || o.code != 0) throwInvalid(path, describeEnd(o));
    return std::move(o.output);
}

std::vector<std::string> JetReaderSession::tableNames() {
    const std::string& path_ = reader_.path();
    std::string answer = ask(request(jetwire::kTables, path_));
    try {
        AnswerReader in(answer);
        if (in.kind() == jetwire::kError) throwReported(path_, {}, in);
        if (in.kind() != jetwire::kTables) throw AnswerReader::Garbled("应答类别不符");
        std::uint32_t n = in.u32();
        std::vector<std::string> names;
        for (std::uint32_t i = 0; i < n; ++i) names.push_back(in.str());
        if (!in.atEnd()) throw AnswerReader::Garbled("应答末尾有多余的字节");
        return names;
    } catch (const AnswerReader::Garbled& g) {
        throwInvalid(path_, std::string("应答无法解读：") + g.what());
    }
}

JetTable JetReaderSession::readTable(std::string_view name) {
    const std::string& path_ = reader_.path();
    const std::string table(name);
    std::string r = request(jetwire::kTable, path_);
    appendStr(r, table);
    std::string answer = ask(r);
    try {
        AnswerReader in(answer);
        if (in.kind() == jetwire::kError) throwReported(path_, table, in);
        if (in.kind() != jetwire::kTable) throw AnswerReader::Garbled("应答类别不符");
        JetTable t = readHeader(in, answer.size());
        const std::size_t ncols = t.columns.size();
        std::uint32_t rows = 0;
        for (std::uint8_t mark = in.u8(); mark != jetwire::kEnd; mark = in.u8(), ++rows) {
            if (mark == jetwire::kBroken) throwInvalid(path_, in.str());
            if (mark != jetwire::kRow) throw AnswerReader::Garbled("缺少行标记");
            for (std::size_t i = 0; i < ncols; ++i) t.cells.push_back(in.value());
        }
        if (in.u32() != rows || !in.atEnd()) throw AnswerReader::Garbled("行数不符");
        return t;
    } catch (const AnswerReader::Garbled& g) {
        throwInvalid(path_, std::string("应答无法解读：") + g.what());
    }
}

JetTable JetReaderSession::distinctTexts(std::string_view name, std::string_view column) {
    const std::string& path_ = reader_.path();
    const std::string table(name);
    std::string r = request(jetwire::kDistinct, path_);
    appendStr(r, table);
    appendStr(r, column);
    std::string answer = ask(r);
    try {
        AnswerReader in(answer);
        if (in.kind() == jetwire::kError) throwReported(path_, table, in);
        if (in.kind() != jetwire::kDistinct) throw AnswerReader::Garbled("应答类别不符");
        JetTable t = readHeader(in, 0);
        if (t.columns.size() != 1) throw AnswerReader::Garbled("列数不是 1");
        // The row count ends the answer: room for exactly that many (a vector left to grow
        // would reach up to twice the size, which is the peak of the whole read). Checked
        // below; a count larger than the answer is not believed here.
        std::uint32_t announced = 0;
        if (answer.size() >= sizeof announced) {
            std::memcpy(&announced, answer.data() + answer.size() - sizeof announced,
                        sizeof announced);
            if (announced <= answer.size()) t.cells.reserve(announced);
        }
        std::uint32_t rows = 0;
        for (std::uint8_t mark = in.u8(); mark != jetwire::kEnd; mark = in.u8(), ++rows) {
            if (mark == jetwire::kBroken) throwInvalid(path_, in.str());
            if (mark != jetwire::kRow) throw AnswerReader::Garbled("缺少行标记");
            t.cells.push_back(in.value());
        }
        if (in.u32() != rows || !in.atEnd()) throw AnswerReader::Garbled("行数不符");
        return t;
    } catch (const AnswerReader::Garbled& g) {
        throwInvalid(path_, std::string("应答无法解读：") + g.what());
    }
}

std::vector<JetTable> JetReaderSession::rowsWhere(std::string_view name, std::string_view column,
                                                  const std::vector<std::string>& texts) {
    const std::string& path_ = reader_.path();
    const std::string table(name);
    std::string r = request(jetwire::kWhere, path_);
    appendStr(r, table);
    appendStr(r, column);
    const auto n = static_cast<std::uint32_t>(texts.size());
    r.append(reinterpret_cast<const char*>(&n), sizeof n);
    for (const auto& t : texts) appendStr(r, t);
    std::string answer = ask(r);
    try {
        AnswerReader in(answer);
        if (in.kind() == jetwire::kError) throwReported(path_, table, in);
        if (in.kind() != jetwire::kWhere) throw AnswerReader::Garbled("应答类别不符");
        const JetTable header = readHeader(in, 0);
        const std::size_t ncols = header.columns.size();
        std::vector<JetTable> groups;
        groups.reserve(texts.size());
        std::uint32_t rows = 0;
        std::uint8_t mark = in.u8();
        for (std::size_t g = 0; g < texts.size(); ++g) {
            JetTable t;
            t.name = header.name;
            t.columns = header.columns;
            for (; mark != jetwire::kGroupEnd; mark = in.u8(), ++rows) {
                if (mark == jetwire::kBroken) throwInvalid(path_, in.str());
                if (mark != jetwire::kRow) throw AnswerReader::Garbled("缺少行标记");
                for (std::size_t i = 0; i < ncols; ++i) t.cells.push_back(in.value());
            }
            groups.push_back(std::move(t));
            mark = in.u8();
        }
        if (mark == jetwire::kBroken) throwInvalid(path_, in.str());
        if (mark != jetwire::kEnd || in.u32() != rows || !in.atEnd())
            throw AnswerReader::Garbled("行数不符");
        return groups;
    } catch (const AnswerReader::Garbled& g) {
        throwInvalid(path_, std::string("应答无法解读：") + g.what());
    }
}

}  // namespace dsadmin
