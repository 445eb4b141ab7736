#include "text/TTextWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Keeps every byte and the size of every write.
class TRecordingSink : public TByteSink {
public:
    void Write(const char* data, size_t size) override
    {
        Bytes.append(data, size);
        Writes.push_back(size);
    }
    std::string Bytes;
    std::vector<size_t> Writes;
};

}  // namespace

TEST(TextWriter, TextsMadeElsewhereGoOutInOrderInFewLargeWrites)
{
    // A band's pieces of a few KiB each, then texts larger than the buffer between them: every
    // byte in order, the pieces gathered into writes of at most 256 KiB, a large text whole.
    TRecordingSink sink;
    std::string expected;
    {
        TTextWriter writer(sink);
        const auto put = [&](size_t size, char fill) {
            const std::string text(size, fill);
            writer.PutText(text.data(), text.size());
            expected += text;
        };
        for (int piece = 0; piece < 400; ++piece) put(3000 + 700 * static_cast<size_t>(piece % 5), 'a' + piece % 26);
        put(3 << 20, 'L');
        put(10, 's');
        put(300 << 10, 'M');
        writer.Put('\n');
        expected += '\n';
        writer.Flush();
    }
    EXPECT_EQ(sink.Bytes, expected);
    ASSERT_FALSE(sink.Writes.empty());
    EXPECT_EQ(std::count(sink.Writes.begin(), sink.Writes.end(), size_t(3) << 20), 1);
    EXPECT_EQ(std::count(sink.Writes.begin(), sink.Writes.end(), size_t(300) << 10), 1);
    size_t small = 0;
    for (size_t size : sink.Writes) {
        if (size == size_t(3) << 20 || size == size_t(300) << 10) continue;
        EXPECT_LE(size, size_t(256) << 10);
        small += size < (size_t(64) << 10);
    }
    // The buffer grows from 16 KiB to 256 KiB over the first few writes; about 2 MB of pieces
    // need some ten writes, not one per piece.
    EXPECT_LT(sink.Writes.size(), 20u);
    EXPECT_LE(small, 6u);
}
