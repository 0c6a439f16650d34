#pragma once
// A fresh engine over a temporary data folder, and helpers that check results word for word.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sandbox/Engine.h"

namespace sandbox::test {

class SqlEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "sql-engine-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        std::filesystem::create_directories(dataDir());
        std::filesystem::create_directories(saveDir());
        engine_ = openEngine(options());
        session_ = login();
    }
    void TearDown() override {
        session_.reset();
        engine_.reset();
        std::filesystem::remove_all(root_);
    }

    std::string dataDir() const { return root_ + "/data"; }
    std::string logDir() const { return dataDir() + "/log"; }
    EngineOptions options() const {
        EngineOptions o;
        o.dataDir = dataDir();
        o.saPassword = "Secret1";
        return o;
    }
    std::string saveDir() const { return root_ + "/save"; }

    std::unique_ptr<Session> login(const std::string& database = "") {
        Message error;
        auto s = engine_->login("sa", "Secret1", database, error);
        EXPECT_NE(s, nullptr) << error.text;
        return s;
    }
    void restart() {
        session_.reset();
        engine_.reset();
        engine_ = openEngine(options());
        session_ = login();
    }

    // Runs a batch of exactly one statement.
    StatementResult one(const std::string& sql, Session* s = nullptr) {
        auto results = (s ? s : session_.get())->execute(sql);
        EXPECT_EQ(results.size(), 1u) << sql;
        return results.empty() ? StatementResult{} : results.front();
    }
    // Runs one statement that must succeed.
    StatementResult ok(const std::string& sql, Session* s = nullptr) {
        StatementResult r = one(sql, s);
        EXPECT_FALSE(r.error) << sql << " -> " << r.error->number << " " << r.error->text;
        return r;
    }
    static std::string text(const Cell& c) {
        if (const auto* s = std::get_if<std::string>(&c)) return *s;
        if (const auto* i = std::get_if<std::int64_t>(&c)) return std::to_string(*i);
        return std::holds_alternative<std::monostate>(c) ? "NULL" : "?";
    }
    // The cells of a result set's rows, one text per row joined by '|'.
    static std::vector<std::string> rows(const StatementResult& r) {
        std::vector<std::string> out;
        if (!r.rows) return out;
        for (const auto& row : r.rows->rows) {
            std::string line;
            for (std::size_t i = 0; i < row.size(); ++i) line += (i ? "|" : "") + text(row[i]);
            out.push_back(line);
        }
        return out;
    }

    std::string root_;
    std::unique_ptr<Engine> engine_;
    std::unique_ptr<Session> session_;
};

// Checks number, severity and text of a result's error.
#define EXPECT_SQL_ERROR(result, num, sev, message)                          \
    do {                                                                     \
        const auto& r_ = (result);                                           \
        ASSERT_TRUE(r_.error.has_value()) << "no error, expected " << (num); \
        EXPECT_EQ(r_.error->number, (num));                                  \
        EXPECT_EQ(static_cast<int>(r_.error->severity), (sev));              \
        EXPECT_EQ(r_.error->text, (message));                                \
    } while (0)

}  // namespace sandbox::test
