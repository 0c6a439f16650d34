#include "settings/Val.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace dsadmin {
namespace {

struct ValCase {
    const char* text;
    double value;
    friend void PrintTo(const ValCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }
};

class ValReads : public testing::TestWithParam<ValCase> {};

TEST_P(ValReads, TheLeadingNumber) {
    EXPECT_EQ(Val(GetParam().text), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ValReads,
    testing::Values(ValCase{"1", 1}, ValCase{"1.0", 1}, ValCase{" 1", 1}, ValCase{"1x", 1},
                    ValCase{"&H1", 1}, ValCase{"", 0}, ValCase{"0", 0}, ValCase{"2", 2},
                    ValCase{"10", 10}, ValCase{"0.5", 0.5}, ValCase{"yes", 0}, ValCase{"1 0", 10},
                    ValCase{"\t1\n", 1}, ValCase{"1\r", 1}, ValCase{"\r1", 0},
                    ValCase{"1.2.3", 1.2}, ValCase{".5", 0.5}, ValCase{"1.", 1}, ValCase{"-1", -1},
                    ValCase{"+1", 1}, ValCase{"1e2", 100}, ValCase{"1E-1", 0.1}, ValCase{"1e", 1},
                    ValCase{"1e+", 1}, ValCase{"0.1e1", 1}, ValCase{"1,5", 1}, ValCase{"&h10", 16},
                    ValCase{"&O17", 15}, ValCase{"&o8", 0}, ValCase{"&HFFFF", -1},
                    ValCase{"&H10000", 65536}, ValCase{"&HFFFFFFFF", -1}, ValCase{"&H100000001", 0},
                    ValCase{"&", 0}, ValCase{"&X1", 0}, ValCase{"1e999", 0}, ValCase{"0001", 1},
                    ValCase{"１", 0}),
    [](const auto& info) {
        std::string name = "n" + std::to_string(info.index) + "_";
        for (const char* p = info.param.text; *p; ++p) {
            name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
        }
        return name;
    });

}  // namespace
}  // namespace dsadmin
