#include "Util/Log.h"
#include "Util/Text.h"
#include "Util/Unicode.h"

#include <string>

#include <gtest/gtest.h>

using namespace ostrel;

TEST(Text, AsciiFoldingLeavesEverythingButAsciiLettersAlone) {
    EXPECT_EQ(Text::asciiLowercase("Api.Ostrel.COM/ÄÖ-Z9"), "api.ostrel.com/ÄÖ-z9");
    EXPECT_TRUE(Text::equalsIgnoringAsciiCase("Content-Length", "content-LENGTH"));
    EXPECT_FALSE(Text::equalsIgnoringAsciiCase("Ä", "ä"));
    EXPECT_FALSE(Text::equalsIgnoringAsciiCase("ETag", "ETags"));
    // '@' and '[' sit beside the letters and must not fold onto '`' and '{'.
    EXPECT_FALSE(Text::equalsIgnoringAsciiCase("@[", "`{"));
}

TEST(Text, TrimmingTakesOnlyAsciiWhiteSpaceFromTheEnds) {
    EXPECT_EQ(Text::trimmedAscii(" \t\r\n\v\fword in\tside \n"), "word in\tside");
    EXPECT_EQ(Text::trimmedAscii(" \n\t "), "");
    EXPECT_EQ(Text::trimmedAscii(""), "");
    EXPECT_EQ(Text::trimmedAscii("\u00a0x\u00a0"), "\u00a0x\u00a0");
}

TEST(Unicode, ValidUtf8RefusesOverlongSurrogatesAndTruncation) {
    EXPECT_TRUE(Unicode::isValidUtf8("plain, é, 日本, 🎛"));
    EXPECT_TRUE(Unicode::isValidUtf8(""));
    for (const std::string bad : {"\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE6\x97", "\x80", "a\xFF"})
        EXPECT_FALSE(Unicode::isValidUtf8(bad)) << bad.size();
}

TEST(Log, LinesNameTheAreaAndStayOnOneLine) {
    testing::internal::CaptureStderr();
    Log::error(Log::Category::backgroundUpdate, "bsdtar said:\nline two\x1b[31m");
    const std::string line = testing::internal::GetCapturedStderr();
    EXPECT_EQ(line, "com.ostrel.hub [background-update] error: bsdtar said: line two [31m\n");
    testing::internal::CaptureStderr();
    Log::info(Log::Category::install, std::string(10000, 'x'));
    EXPECT_LT(testing::internal::GetCapturedStderr().size(), 4200u);
}
