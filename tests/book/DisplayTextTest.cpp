#include <gtest/gtest.h>

#include "book/DisplayText.h"

namespace plinth {
namespace {

TEST(DisplayTextTest, KeepsAsciiAndValidUtf8) {
    EXPECT_EQ(DisplayText("Sicilian"), "Sicilian");
    EXPECT_EQ(DisplayText("R\xc3\xa9ti \xe2\x99\x9e"), "R\xc3\xa9ti \xe2\x99\x9e");
}

TEST(DisplayTextTest, TakesInvalidUtf8AsWindows1252) {
    EXPECT_EQ(DisplayText("R\xe9ti"), "R\xc3\xa9ti");
    EXPECT_EQ(DisplayText("\x80\x93\x9f"), "\xe2\x82\xac\xe2\x80\x9c\xc5\xb8");
    // Undefined in the code page: kept as the C1 control.
    EXPECT_EQ(DisplayText("\x81"), "\xc2\x81");
}

TEST(DisplayTextTest, RejectsOverlongAndTruncatedSequences) {
    EXPECT_EQ(DisplayText("\xc0\xaf"), "\xc3\x80\xc2\xaf");
    EXPECT_EQ(DisplayText("ab\xe2\x82"), "ab\xc3\xa2\xe2\x80\x9a");
}

}  // namespace
}  // namespace plinth
