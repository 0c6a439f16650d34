#pragma once
// A temporary folder in which tests write structure files with the real `dsfile write`, and
// run `dsfile script` on them.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

class StructureFileTest : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/dsadmin-db-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    // Writes tsv (header line first) as table `table` of a new file `name` in the folder;
    // returns the file's path.
    std::string write(const std::string& tsv, const std::string& name = "t.DS",
                      const std::string& table = "ds") {
        std::string path = dir_ + "/" + name;
        std::ofstream(dir_ + "/rows.tsv") << tsv;
        std::string cmd = std::string("'") + DSFILE_EXE + "' write --table '" + table + "' '" +
                          path + "' < '" + dir_ + "/rows.tsv' 2> '" + dir_ + "/write.err'";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << read(dir_ + "/write.err");
        return path;
    }

    struct Run {
        int status;
        std::string out, err;
    };
    // Runs `dsfile script path`.
    Run script(const std::string& path) {
        std::string cmd = std::string("'") + DSFILE_EXE + "' script '" + path + "' > '" + dir_ +
                          "/out' 2> '" + dir_ + "/err'";
        int rc = std::system(cmd.c_str());
        return {WEXITSTATUS(rc), read(dir_ + "/out"), read(dir_ + "/err")};
    }

    static std::string read(const std::string& path) {
        std::ifstream in(path);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string dir_;
};
