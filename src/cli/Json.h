#pragma once
// A JSON value to build a report and write it: null, true/false, a whole number, a text, an
// array or an object whose keys keep the order they were added in. Text is UTF-8; bytes that
// are no valid UTF-8 are written as U+FFFD.

#include <cstdint>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace dsadmin::cli {

class Json {
  public:
    using Array = std::vector<Json>;
    using Object = std::vector<std::pair<std::string, Json>>;

    Json() = default;  // null
    Json(bool v) : v_(v) {}
    Json(int v) : v_(std::int64_t{v}) {}
    Json(long v) : v_(std::int64_t{v}) {}
    Json(std::string v) : v_(std::move(v)) {}
    Json(const char* v) : v_(std::string(v)) {}
    Json(Array v) : v_(std::move(v)) {}
    Json(Object v) : v_(std::move(v)) {}

    // Appends to an array (a null becomes an empty array first).
    Json& push(Json item);
    // Sets a key of an object (a null becomes an empty object first); a key set again keeps
    // its place.
    Json& set(const std::string& key, Json value);

    // The value written out with two-space indents.
    std::string dump() const;

  private:
    void write(std::string& out, int indent) const;
    std::variant<std::monostate, bool, std::int64_t, std::string, Array, Object> v_;
};

}  // namespace dsadmin::cli
