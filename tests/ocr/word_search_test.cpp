// Finding text in recognised words, and the text cache: entries read back whole, damaged
// ones ignored and rewritten, the folder kept within its bound, the recogniser not needed
// for a fax the cache holds.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <sstream>

#include "ocr/fax_text.h"
#include "ocr/text_cache.h"
#include "ocr/word_search.h"
#include "support/test_files.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

// Words of a page, "|" between lines.
std::vector<ocr::Word> PageWords(const std::string& text) {
    std::vector<ocr::Word> words;
    std::istringstream lines(text);
    int n = 0;
    for (std::string line; std::getline(lines, line, '|'); ++n) {
        std::istringstream in(line);
        for (std::string w; in >> w;) words.push_back({w, 10 * n, 20 * n, 10 * n + 9, 20 * n + 9, 90.5f, 0, n});
    }
    return words;
}

std::string Text(const std::string& path) {
    const Bytes b = ReadBytes(path);
    return std::string(b.begin(), b.end());
}

TEST(WordSearch, FindsTheQueryAsABrowserDoesInTheWordsReadAsOneText) {
    const auto words = PageWords("Invoice 4711, for|Harbour Row Straße|ÄRGER ﬁnal \xff" "bad");
    struct Case {
        const char* query;
        bool matchCase;
        std::string hits;  // first-last word of each hit
    } cases[] = {
        {"invoice", false, "0-0 "},        {"voice 47", false, "0-1 "},      {"4711 for", false, ""},
        {"4711, for", false, "1-2 "},      {"FOR harbour", false, "2-3 "},   {" \tharbour\n  row ", false, "3-4 "},
        {"STRASSE", false, "5-5 "},        {"strasse", true, ""},            {"Straße", true, "5-5 "},
        {"ärger", false, "6-6 "},          {"ärger", true, ""},              {"FINAL", false, "7-7 "},
        {"row straße ärger", false, "4-6 "}, {"r", false, "2-2 3-3 4-4 5-5 6-6 "}, {"", false, ""},
        {"\xef\xbf\xbd" "bad", false, "8-8 "},
    };
    for (const Case& c : cases) {
        std::string got;
        for (const ocr::Hit& h : ocr::WordQuery(c.query, c.matchCase).Find(4, words))
            got += std::to_string(h.first) + "-" + std::to_string(h.last) + " " + (h.page == 4 ? "" : "wrong page");
        EXPECT_EQ(got, c.hits) << c.query << (c.matchCase ? " (match case)" : "");
    }

    // Pages arrive out of order; the current hit stays the same hit and steps wrap.
    ocr::SearchHits hits;
    hits.Reset(ocr::WordQuery("row", false));
    hits.AddPage(3, words);
    ASSERT_TRUE(hits.Step(true, 2));
    hits.AddPage(1, words);
    hits.AddPage(3, PageWords("row row"));  // a page arrives once
    EXPECT_EQ(hits.count(), 2u);
    EXPECT_EQ(hits.current(), 1u);
    ASSERT_TRUE(hits.Step(true, 1));
    EXPECT_EQ(hits.currentHit()->page, 1u);
    ASSERT_TRUE(hits.Step(false, 1));
    EXPECT_EQ(hits.currentHit()->page, 3u);
}

TEST(TextCache, EntriesReadBackWholeDamagedOnesAreRewrittenAndTheFolderStaysBounded) {
    TempDir dir;
    const std::string fax = dir.File("f.dcx"), cacheDir = dir.File("cache");
    WriteBytes(fax, MakeDcx({MakePcx(PatternPage(216, 30, 1), 216), MakePcx(PatternPage(216, 30, 2), 216)}));
    ocr::FaxKey key, changed;
    ASSERT_TRUE(ocr::MakeFaxKey(fax, "eng", key).ok());
    Bytes bytes = ReadBytes(fax);
    bytes.back() ^= 1;
    WriteBytes(dir.File("g.dcx"), bytes);
    ASSERT_TRUE(ocr::MakeFaxKey(dir.File("g.dcx"), "eng", changed).ok());
    EXPECT_EQ(key.pages, 2u);
    EXPECT_EQ(changed.size, key.size);
    EXPECT_NE(changed.hash, key.hash) << "one bit changed";

    ocr::FaxWords pages(2), back;
    pages[1] = PageWords("Back\\slash x|Zahl 4711");
    pages[1]->at(1).utf8 = "line\nfeed\r";
    const ocr::TextCache cache(cacheDir);
    ASSERT_TRUE(cache.Store(key, pages));
    ASSERT_TRUE(cache.Load(key, back));
    ASSERT_EQ(back.size(), 2u);
    EXPECT_FALSE(back[0]);
    ASSERT_TRUE(back[1]);
    EXPECT_EQ(ocr::PageText(*back[1]), ocr::PageText(*pages[1]));
    EXPECT_EQ(back[1]->at(3).y1, 29);
    EXPECT_EQ(back[1]->at(3).confidence, 90.5f);
    EXPECT_FALSE(cache.Load(changed, back)) << "a changed fax is not the same entry";

    const std::string entry = Text(cache.PathOf(key));
    const std::string damaged[] = {
        entry.substr(0, entry.size() - 4), "vantorel-text 1\n", "garbage",
        std::regex_replace(entry, std::regex("page 2 "), "page 3 "),
        std::regex_replace(entry, std::regex("page 2 4"), "page 2 5"),
        std::regex_replace(entry, std::regex(" eng\n"), " deu\n"),
        std::regex_replace(entry, std::regex("\n10 20 "), "\n10 20x "),
    };
    for (const std::string& text : damaged) {
        WriteBytes(cache.PathOf(key), Bytes(text.begin(), text.end()));
        EXPECT_FALSE(cache.Load(key, back)) << text;
        EXPECT_TRUE(cache.Store(key, pages) && cache.Load(key, back)) << "rewritten: " << text;
    }

    // Without language data the cached pages come all the same; a missing one names the package.
    setenv("TESSDATA_PREFIX", dir.path().c_str(), 1);
    std::vector<unsigned> got;
    ocr::TextEvents events;
    events.words = [&](unsigned page, std::vector<ocr::Word>&&) { got.push_back(page); };
    const ocr::Result missing = ocr::ReadFaxText(fax, "eng", 2, cache, events);
    EXPECT_EQ(missing.status, ocr::Status::NoLanguageData);
    EXPECT_NE(missing.message.find("tesseract-ocr-eng"), std::string::npos);
    pages[0] = PageWords("");
    ASSERT_TRUE(cache.Store(key, pages));
    EXPECT_TRUE(ocr::ReadFaxText(fax, "eng", 2, cache, events).ok());
    unsetenv("TESSDATA_PREFIX");
    EXPECT_EQ(got, (std::vector<unsigned>{2, 2, 1})) << "the first page asked for first";

    // The bound: at the limit nothing goes; one byte past it, the entry used longest ago.
    const std::uint64_t size = fs::file_size(cache.PathOf(key));
    for (std::uint64_t bound : {3 * size, 3 * size - 1}) {
        fs::remove_all(cacheDir);
        const ocr::TextCache small(cacheDir, bound);
        ocr::FaxKey keys[3] = {key, key, key};
        for (int i = 0; i < 3; ++i) {
            keys[i].hash = 0x1000 + i;  // entries of the same size
            ASSERT_TRUE(cache.Store(keys[i], pages));
            fs::last_write_time(cache.PathOf(keys[i]), fs::file_time_type::clock::now() - std::chrono::hours(3 - i));
        }
        ASSERT_TRUE(small.Load(keys[0], back)) << "used now, so kept";
        ASSERT_TRUE(small.Store(keys[2], pages));
        EXPECT_EQ(fs::exists(small.PathOf(keys[1])), bound == 3 * size) << bound;
        EXPECT_TRUE(fs::exists(small.PathOf(keys[0])) && fs::exists(small.PathOf(keys[2]))) << bound;
    }
}

}  // namespace
