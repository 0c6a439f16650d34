#pragma once
// A field value as the data-access objects hand it out: a variant of Null, whole number,
// floating number, text (UTF-8), yes/no and date.
//
// The rules the runs rely on (appending, comparing with a number) are methods of this
// class; see their contracts below. They are defined in Value.cpp (library dsadmin_dbcore);
// constructing and inspecting a Value needs only this header.

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

    // The text this value contributes when appended to a string: Null gives "", a number its
    // plain decimal form (50, -3, 1.5; whole doubles without a fraction), a text itself,
    // yes/no "True" / "False", a date "YYYY-MM-DD" with " hh:mm:ss" when it has a time.
    std::string text() const;
    // Appends text() to out.
    void appendTo(std::string& out) const;

    // Whether this value equals the number n: Null never does; a number compares by value;
    // yes/no reads as -1 (yes) or 0 (no); a date by its day count; a text by the number it
    // reads as (blanks around it allowed: " 1 ", "1.0", "+1", "1e0").
    // Throws DbError("类型不匹配") for a text that reads as no number.
    bool equalsNumber(double n) const;

    // Reads a text as a number the way equalsNumber does; false when it is none.
    static bool parseNumber(const std::string& text, double& out);

    friend bool operator==(const Value&, const Value&) = default;

  private:
    Storage v_;
};

}  // namespace dsadmin
