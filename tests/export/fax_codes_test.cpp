// The export's coders and decoder on lines at the edges of the codes, checked with libtiff:
// its decoder reads what ours write, and its Group 4 coder gives the same bytes as ours.
#include <gtest/gtest.h>

#include "export/g3_decoder.h"
#include "export/g4_coder.h"
#include "export/mh_codes.h"
#include "export_test_util.h"

using namespace testing_support;
using namespace exporttest;

namespace {

using Runs = std::vector<std::uint32_t>;  // white first; a line starting black starts with 0

TEST(FaxCodes, EdgeLinesAgainstLibtiff) {
    Runs alternating(1728, 1);
    const std::vector<std::pair<std::uint32_t, std::vector<Runs>>> widths = {
        {1728, {{1728}, {0, 1728}, alternating, {63, 1665}, {64, 1664}, {0, 63, 1665}, {0, 64, 1664}, {1727, 1},
                {0, 1, 1727}, {1, 63, 64, 1600}}},
        {2700, {{2700}, {0, 2700}, {2560, 140}, {2561, 139}, {0, 2560, 140}, {0, 2561, 139}, {139, 2561}, {1, 2699},
                {0, 2699, 1}, {1728, 972}, {0, 1728, 972}}},
    };
    for (const auto& [width, lines] : widths) {
        // Every line after every other, so each codes against each as its reference.
        std::vector<Runs> rows;
        for (const Runs& a : lines)
            for (const Runs& b : lines) rows.insert(rows.end(), {a, b});
        const std::size_t rowBytes = (width + 7) / 8;
        Bytes pixels(rows.size() * rowBytes, 0), mh;
        std::vector<std::vector<std::uint32_t>> changes(rows.size());
        fax::G4Coder g4(width);
        for (std::size_t y = 0; y < rows.size(); ++y) {
            std::uint32_t x = 0;  // each run after the first starts with a change
            for (std::size_t r = 0; r < rows[y].size(); x += rows[y][r++]) {
                for (std::uint32_t i = x; r % 2 && i < x + rows[y][r]; ++i) pixels[y * rowBytes + i / 8] |= 0x80 >> (i % 8);
                if (r > 0) changes[y].push_back(x);
            }
            std::vector<std::uint32_t> found(fax::ChangeCapacity(width));
            found.resize(fax::FindChanges(&pixels[y * rowBytes], width, true, found.data()));
            EXPECT_EQ(found, changes[y]) << width << " row " << y;
            Bytes line(fax::MhLineBytesMax(width));
            line.resize(fax::CodeMhLine(changes[y].data(), changes[y].size(), width, line.data()));
            mh.insert(mh.end(), line.begin(), line.end());
            std::copy(changes[y].begin(), changes[y].end(), g4.NextLine());
            g4.CodeLine(changes[y].size());
        }
        g4.Finish();
        const Bytes ours(g4.data(), g4.data() + g4.size());
        const auto h = static_cast<std::uint32_t>(rows.size());
        TempDir dir;
        Bytes theirs;
        ASSERT_TRUE(LibtiffG4(dir.File("ref.tif"), width, h, [&](std::uint32_t y, std::uint8_t* line) {
            std::copy_n(&pixels[y * rowBytes], rowBytes, line);
            return true;
        }, theirs));
        EXPECT_TRUE(ours == theirs) << width;

        // libtiff decodes both codes to the pixels; our decoder reads the Group 3 strip back.
        for (const std::string& tif : {CodedTiff(dir, "mh.tif", width, h, COMPRESSION_CCITTFAX3, FILLORDER_LSB2MSB, mh),
                                       CodedTiff(dir, "g4.tif", width, h, COMPRESSION_CCITTFAX4, FILLORDER_MSB2LSB, ours)}) {
            bool ok = false;
            auto pages = DecodeTiff(tif, ok);
            ASSERT_TRUE(ok) << tif;
            EXPECT_TRUE(pages[0].rows == pixels) << tif;
        }
        fax::File file = fax::File::OpenRead(dir.File("mh.tif"));
        fax::G3Decoder decoder(width, true);
        decoder.Start(file, 8, mh.size());  // libtiff puts the strip after the header
        for (std::size_t y = 0; y < rows.size(); ++y) {
            std::vector<std::uint32_t> got(fax::ChangeCapacity(width));
            ASSERT_EQ(decoder.Row(got.data()), static_cast<std::ptrdiff_t>(changes[y].size())) << width << " row " << y;
            EXPECT_TRUE(std::equal(changes[y].begin(), changes[y].end(), got.begin())) << width << " row " << y;
        }
    }
}

}  // namespace
