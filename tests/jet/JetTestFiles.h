#pragma once
// Helpers of the Jet tests: a temporary folder, running a command line, reading a file,
// and deterministic structure rows as dsfile text.

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace dsadmin::test {

namespace fs = std::filesystem;

class TempDir {
  public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "dsadmin-jet-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : fs::directory_iterator(path_)) names.push_back(e.path().filename());
        std::sort(names.begin(), names.end());
        return names;
    }

  private:
    fs::path path_;
};

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void writeFile(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

struct RunResult {
    int status = -1;  // exit status, or 128 + signal
    std::string out;
    std::string err;
};

// Runs `command` through /bin/sh in `dir`, with standard input from `input`.
inline RunResult run(const TempDir& dir, const std::string& command,
                     const std::string& input = {}) {
    const std::string in = dir.file(".stdin"), out = dir.file(".stdout"), err = dir.file(".stderr");
    writeFile(in, input);
    std::string line = "cd '" + dir.path().string() + "' && { " + command + "; } <'" + in + "' >'" +
                       out + "' 2>'" + err + "'";
    int raw = std::system(line.c_str());
    RunResult r;
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    r.out = readFile(out);
    r.err = readFile(err);
    fs::remove(in), fs::remove(out), fs::remove(err);
    return r;
}

// `rows` rows of the default ds columns as dsfile text (header first): texts with NULL,
// empty, Chinese, escapes (when `escapes`), 64-character values; longs with NULL and
// the Long range's ends.
inline std::string structureRows(int rows, bool escapes, unsigned seed = 7) {
    std::mt19937 rng(seed);
    static const char* words[] = {"Int",          "VarChar", "DateTime", "Char(4)", "Decimal(18,2)",
                                  "NVarChar(50)", "客户",    "订单明细", "编号",    ""};
    auto text = [&](int r, int k) -> std::string {
        switch ((r + k) % 11) {
            case 0:
                return "\\N";
            case 1:
                return "";
            case 2:
                return std::string(64, static_cast<char>('a' + r % 26));
            case 3:
                return std::string(21, 'x') + "中文名称" + std::to_string(r);
            case 4:
                return escapes ? "tab\\there\\nline\\\\back\\r" : "plain";
            default:
                return words[rng() % 10] + std::to_string(r);
        }
    };
    auto number = [&](int r, int k) -> std::string {
        switch ((r * 3 + k) % 9) {
            case 0:
                return "\\N";
            case 1:
                return "-2147483648";
            case 2:
                return "2147483647";
            default:
                return std::to_string(static_cast<int>(rng() % 200000) - 100000);
        }
    };
    std::string s = "ftable\tfname\tflb\tflong\tfauto\tfindex\n";
    for (int r = 0; r < rows; ++r) {
        s += "T" + std::to_string(r / 20) + "\t" + text(r, 1) + "\t" + text(r, 2) + "\t";
        s += number(r, 0) + "\t" + number(r, 1) + "\t" + number(r, 2) + "\n";
    }
    return s;
}

}  // namespace dsadmin::test
