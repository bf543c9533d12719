// Numbers as text: atof and "%.Nf" as the file has always held them, without
// the locale, and never a NaN or infinity in memory.
#include "config/value_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using config::FormatFixed;
using config::FormatInt;
using config::ParseReal;

TEST(ValueText, ParseRealReadsLikeAtof) {
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"12.345", 12.345}, {"  \t-3.5mm", -3.5}, {"+2", 2.0},       {"1e2", 100.0}, {".5", 0.5},
        {"7.", 7.0},        {"0x10", 16.0},       {"-0X1p-1", -0.5}, {"0x", 0.0},    {"abc", 0.0},
        {"", 0.0},          {"-", 0.0},           {"--5", 0.0},      {"+-5", 0.0},   {"1,5", 1.0},
        {"1e", 1.0},        {"1e-999", 0.0},      {"2.5e+1x", 25.0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseReal(c.text), c.value) << "\"" << c.text << "\"";
    }
}

TEST(ValueText, NonFiniteTextReadsAsZero) {
    for (const char* text :
         {"nan", "-NaN", "nan(123)", "inf", "-inf", "Infinity", "1e999", "-1e999", "0x1p99999"}) {
        EXPECT_EQ(ParseReal(text), 0.0) << text;
    }
}

TEST(ValueText, AgreesWithTheCLibraryInTheCLocale) {
    std::mt19937_64 random(4);
    std::uniform_real_distribution<double> mm(-5000.0, 5000.0);
    char expected[64];
    for (int i = 0; i < 20000; ++i) {
        // Counts times 0.01, as the cycles produce them, and arbitrary doubles.
        const double value = i % 2 ? static_cast<int>(mm(random) * 100) * 0.01 : mm(random);
        std::snprintf(expected, sizeof expected, "%.2f", value);
        ASSERT_EQ(FormatFixed(value, 2), expected) << value;
        std::snprintf(expected, sizeof expected, "%f", value);
        ASSERT_EQ(FormatFixed(value, 6), expected) << value;
        ASSERT_EQ(ParseReal(expected), std::strtod(expected, nullptr)) << expected;
    }
    EXPECT_EQ(FormatFixed(12.345, 2), "12.35");
    EXPECT_EQ(FormatFixed(0.0, 6), "0.000000");
    EXPECT_EQ(FormatFixed(0.125, 2), "0.12");  // an exact tie goes to even, as printf
    EXPECT_EQ(FormatFixed(-0.001, 2), "-0.00");
    EXPECT_EQ(FormatFixed(1e300, 2).size(), 304u);
    EXPECT_EQ(FormatInt(-2147483647 - 1), "-2147483648");
}

}  // namespace
