#pragma once
// A field value as the data-access objects hand it out: a variant of Null, whole number,
// floating number, text (UTF-8), yes/no and date.
//
// The rules the runs rely on (appending, comparing with a number) are methods of this
// class; see their contracts below.

#include <cstdint>
#include <string>
#include <variant>

namespace dsadmin {

// A Jet / OLE date: days since 1899-12-30, the fraction being the time of day.
struct Date {
    double days = 0.0;
    friend bool operator==(const Date&, const Date&) = default;
};

class Value {
public:
    struct Null {
        friend bool operator==(const Null&, const Null&) = default;
    };
    using Storage = std::variant<Null, std::int64_t, double, std::string, bool, Date>;

    Value() = default;
    Value(Null) {}
    Value(std::int64_t v) : v_(v) {}
    Value(int v) : v_(std::int64_t{v}) {}
    Value(double v) : v_(v) {}
    Value(std::string v) : v_(std::move(v)) {}
    Value(const char* v) : v_(std::string(v)) {}
    Value(bool v) : v_(v) {}
    Value(Date v) : v_(v) {}

    bool isNull() const { return std::holds_alternative<Null>(v_); }
    const Storage& storage() const { return v_; }

    friend bool operator==(const Value&, const Value&) = default;

private:
    Storage v_;
};

}  // namespace dsadmin
