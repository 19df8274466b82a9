#include <gtest/gtest.h>

#include <random>

#include "formats/rle.h"
#include "support/test_files.h"

using fax::LineDecoder;
using fax::RunAtLineEnd;
using testing_support::Bytes;

namespace {

// Decodes `in` cut into chunks of `chunk` bytes; returns the complete lines.
Bytes DecodeChunked(const Bytes& in, std::size_t bpl, std::size_t lines, std::size_t chunk,
                    RunAtLineEnd mode = RunAtLineEnd::Carry) {
    LineDecoder d(bpl, mode);
    Bytes out(bpl * lines, 0xAA);
    std::size_t done = 0;
    for (std::size_t pos = 0; pos < in.size() && done < lines;) {
        std::size_t n = std::min(chunk, in.size() - pos);
        std::size_t used = 0;
        while (used < n && done < lines) {
            auto r = d.Decode(in.data() + pos + used, n - used, out.data() + done * bpl, lines - done);
            used += r.consumed;
            done += r.lines;
            if (r.consumed == 0 && r.lines == 0) break;
        }
        pos += n;
    }
    out.resize(done * bpl);
    return out;
}

}  // namespace

TEST(LineEncoder, FixedExamples) {
    struct Case {
        Bytes line;
        Bytes code;
    } cases[] = {
        // 216 white bytes: three runs of 63 and one of 27.
        {Bytes(216, 0xFF), {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xDB, 0xFF}},
        {{0xC8}, {0xC1, 0xC8}},
        {{0x7F}, {0x7F}},
        {{0x00, 0x00, 0xBF, 0xC0}, {0xC2, 0x00, 0xBF, 0xC1, 0xC0}},
    };
    for (const auto& c : cases) {
        Bytes out;
        fax::EncodeLine(c.line.data(), c.line.size(), out);
        EXPECT_EQ(out, c.code);
    }
}

TEST(LineDecoder, RunCrossingLineEndCarriesOnButIsDroppedForExport) {
    // Line of 10 bytes: 7 literal white bytes, then a run of 5 black bytes starting 3
    // bytes before the end, then literal bytes for the rest of the next line.
    Bytes in = {0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0x7F, 0xC5, 0x00};
    for (int i = 0; i < 10; ++i) in.push_back(0x11);
    Bytes carry = DecodeChunked(in, 10, 2, 4096);
    ASSERT_EQ(carry.size(), 20u);
    EXPECT_EQ(Bytes(carry.begin() + 7, carry.begin() + 12), Bytes(5, 0x00));
    EXPECT_EQ(carry[12], 0x11);

    Bytes drop = DecodeChunked(in, 10, 2, 4096, RunAtLineEnd::Drop);
    ASSERT_EQ(drop.size(), 20u);
    EXPECT_EQ(Bytes(drop.begin() + 7, drop.begin() + 10), Bytes(3, 0x00));
    EXPECT_EQ(Bytes(drop.begin() + 10, drop.end()), Bytes(10, 0x11));
}

TEST(LineDecoder, SameResultForEveryChunkSize) {
    // A foreign encoder that lets runs cross line ends and chunk ends anywhere.
    std::mt19937 rng(7);
    const std::size_t bpl = 37, lines = 50;
    Bytes pixels(bpl * lines);
    for (auto& b : pixels) b = (rng() % 4 == 0) ? static_cast<std::uint8_t>(rng()) : 0xFF;
    Bytes coded;
    for (std::size_t i = 0; i < pixels.size();) {
        std::size_t run = 1;
        while (i + run < pixels.size() && run < 63 && pixels[i + run] == pixels[i]) ++run;
        coded.push_back(static_cast<std::uint8_t>(0xC0 | run));
        coded.push_back(pixels[i]);
        i += run;
    }
    for (std::size_t chunk : {1u, 2u, 3u, 7u, 2048u, 100000u})
        EXPECT_EQ(DecodeChunked(coded, bpl, lines, chunk), pixels) << "chunk " << chunk;
}

TEST(LineDecoder, RoundTripsOurEncoder) {
    Bytes page = testing_support::PatternPage(216, 300, 3);
    Bytes coded;
    for (std::size_t y = 0; y < 300; ++y) fax::EncodeLine(&page[y * 216], 216, coded);
    EXPECT_EQ(coded, testing_support::EncodePage(page, 216));
    EXPECT_EQ(DecodeChunked(coded, 216, 300, 2048), page);
}

TEST(LineDecoder, ZeroCountByteWritesNothingAndStaysInBounds) {
    Bytes in = {0xC0, 0x00, 0x01, 0x02, 0xC0};  // the last count byte has no value yet
    LineDecoder d(2);
    Bytes out(4, 0xEE);
    auto r = d.Decode(in.data(), in.size(), out.data(), 2);
    EXPECT_EQ(r.lines, 1u);
    EXPECT_EQ(out[0], 0x01);
    EXPECT_EQ(out[1], 0x02);
    EXPECT_EQ(out[2], 0xEE);  // nothing written past the complete line
    EXPECT_TRUE(d.AwaitingValue());
}

TEST(LineDecoder, StopsAtMaxLinesAndKeepsPendingRun) {
    Bytes in = {0xFF, 0x55};  // 63 bytes
    LineDecoder d(10);
    Bytes out(30, 0);
    auto r = d.Decode(in.data(), in.size(), out.data(), 3);
    EXPECT_EQ(r.lines, 3u);
    auto r2 = d.Decode(nullptr, 0, out.data(), 3);  // the rest of the run needs no input
    EXPECT_EQ(r2.lines, 3u);
    EXPECT_EQ(out, Bytes(30, 0x55));
    EXPECT_EQ(d.PartialLineBytes(), 0u);
}

// Where a page's lines end in its stored data; bytes after them belong to no line.
TEST(LineDataEnd, StopsAtTheLastLineAndCutsARunReachingPastIt) {
    struct Case {
        const char* name;
        std::size_t bpl;
        std::uint32_t lines;
        Bytes data;
        std::uint64_t copy;
        Bytes tail;
        std::uint32_t complete;
    } cases[] = {
        // Two 4-byte lines, then a palette marker and palette bytes.
        {"palette after", 4, 2, {0xC4, 0xFF, 1, 2, 3, 4, 0x0C, 0xAA, 0xBB}, 6, {}, 2},
        // The last run reaches 3 bytes past the page: cut to what is wanted.
        {"run cut", 4, 2, {1, 2, 3, 0xC8, 0x00, 0xC1, 0x77}, 3, {0xC5, 0x00}, 2},
        // Cut to one byte below 0xC0: the byte alone; one of 0xC0 or more keeps its count.
        {"cut to literal", 3, 1, {1, 2, 0xC5, 0x7F}, 2, {0x7F}, 1},
        {"cut to pair", 3, 1, {1, 2, 0xC5, 0xD0}, 2, {0xC1, 0xD0}, 1},
        // A run carried across a line end inside the page stays as stored.
        {"run across lines", 2, 3, {0xC3, 0x00, 0xC3, 0x11, 0xFF}, 4, {}, 3},
        // The data ends inside line 3: the result ends with line 2, cutting the run there.
        {"short data", 4, 5, {0xC6, 0x00, 0xC4, 0x11}, 2, {0xC2, 0x11}, 2},
        // A zero-count byte writes nothing, a count byte whose value never came nothing either.
        {"zero run", 2, 1, {0xC0, 0x55, 9, 8, 0xC1}, 4, {}, 1},
        {"no line", 8, 4, {1, 2, 3}, 0, {}, 0},
        {"empty", 8, 4, {}, 0, {}, 0},
    };
    for (const Case& c : cases)
        for (std::size_t piece : {std::size_t{1}, std::size_t{2}, std::size_t{1000}}) {
            fax::LineDataEnd end(c.bpl, c.lines);
            for (std::size_t at = 0; at < c.data.size() && !end.done(); at += piece)
                end.Feed(c.data.data() + at, std::min(piece, c.data.size() - at));
            EXPECT_EQ(end.copyBytes(), c.copy) << c.name << " piece " << piece;
            EXPECT_EQ(Bytes(end.tail(), end.tail() + end.tailSize()), c.tail) << c.name << " piece " << piece;
            EXPECT_EQ(end.lines(), c.complete) << c.name << " piece " << piece;
            // What is kept decodes to exactly the complete lines.
            Bytes kept(c.data.begin(), c.data.begin() + static_cast<std::ptrdiff_t>(c.copy));
            kept.insert(kept.end(), c.tail.begin(), c.tail.end());
            EXPECT_EQ(DecodeChunked(kept, c.bpl, c.lines, 4096).size(), c.bpl * c.complete) << c.name;
        }
}
