#include "support/TStringTools.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(StringEscape, EveryByteAgainstPrintf)
{
    // One line whatever the text: no byte below 0x20 or 0x7f survives; everything else does.
    std::string all;
    std::string expected;
    for (int byte = 0; byte < 256; ++byte) {
        all += static_cast<char>(byte);
        char shown[8];
        if (byte == '\n')
            std::snprintf(shown, sizeof shown, "\\n");
        else if (byte == '\t')
            std::snprintf(shown, sizeof shown, "\\t");
        else if (byte < 0x20 || byte == 0x7f)
            std::snprintf(shown, sizeof shown, "\\x%02x", byte);
        else
            std::snprintf(shown, sizeof shown, "%c", byte);
        expected += shown;
    }
    EXPECT_EQ(TStringTools::EscapeControlCharacters(all), expected);
    EXPECT_EQ(TStringTools::EscapeControlCharacters("dir\\out.asc"), "dir\\out.asc");
    EXPECT_EQ(TStringTools::EscapeControlCharacters("r\xc3\xa9sum\xc3\xa9\r\n"), "r\xc3\xa9sum\xc3\xa9\\x0d\\n");
    EXPECT_EQ(TStringTools::EscapeControlCharacters(""), "");
}
