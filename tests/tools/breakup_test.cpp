#include <gtest/gtest.h>

#include <filesystem>

#include "formats/pcx.h"
#include "tool_fixtures.h"
#include "tools/breakup.h"

using namespace testing_support;
using namespace toolfix;

namespace {

struct Split {
    TempDir dir;
    std::string source = dir.File("fax.dcx");
    std::string data = dir.File("Data");
    std::vector<Page> pages;
    Split(unsigned count, std::size_t lines = 60) {
        std::filesystem::create_directory(data);
        std::vector<Bytes> files;
        for (unsigned i = 0; i < count; ++i) {
            pages.push_back(MakePage(lines, i + 1));
            files.push_back(pages.back().file);
        }
        WriteBytes(source, MakeDcx(files));
    }
    std::string Out(const std::string& name) const { return data + "/" + name; }
};

const auto kKeep = [](const fax::ToolMessage&) { return false; };

}  // namespace

TEST(BreakUp, SeedKeepsFourCharacters) {
    struct Case {
        const char* typed;
        const char* seed;
    } cases[] = {
        {"memo", "memo"}, {"memo12", "memo"}, {"ab", "ab"}, {"", ""},
        {"\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F" "x", "\xC3\xA4\xC3\xB6\xC3\xBC\xC3\x9F"},  // four two-byte letters
    };
    for (const auto& c : cases) EXPECT_EQ(fax::CutSeed(c.typed), c.seed) << c.typed;

    fax::BreakUp b("/d");
    EXPECT_EQ(b.NameFor("memo", 1), "/d/memo0001.pcx");
    EXPECT_EQ(b.NameFor("", 12), "/d/0012.pcx");
}

TEST(BreakUp, PagesAreExactCopiesNamedFromTheSeed) {
    for (const std::string typed : {"memorandum", ""}) {
        Split s(3);
        fax::BreakUp b(s.data);
        auto inspect = b.Inspect(s.source);
        ASSERT_TRUE(inspect.ok);
        EXPECT_EQ(inspect.pages, 3u);
        std::vector<std::string> shown;
        auto r = b.Run(s.source, typed, kKeep, [&](const std::string& n) { shown.push_back(n); });
        EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Finished);
        EXPECT_TRUE(r.messages.empty());
        std::string seed = typed.substr(0, 4);
        for (unsigned i = 0; i < 3; ++i) {
            std::string name = s.Out(seed + "000" + std::to_string(i + 1) + ".pcx");
            EXPECT_EQ(shown.at(i), name);
            EXPECT_EQ(r.written.at(i), name);
            EXPECT_EQ(ReadBytes(name), s.pages[i].file) << name;
        }
        EXPECT_EQ(FilesIn(s.data).size(), 3u);
    }
}

TEST(BreakUp, AnotherReaderSeesThePageFiles) {
    Split s(2, 120);
    fax::BreakUp b(s.data);
    ASSERT_EQ(b.Run(s.source, "pg", kKeep).outcome, fax::BreakUp::Outcome::Finished);
    Pbm pbm = GmDecode(s.Out("pg0002.pcx"), 0, s.dir.path());
    EXPECT_EQ(pbm.width, 1728u);
    EXPECT_EQ(pbm.height, 120u);
    EXPECT_TRUE(pbm.pixels == s.pages[1].pixels);
}

TEST(BreakUp, LastPageRunsToTheEndOfTheFile) {
    TempDir dir;
    std::string data = dir.path();
    Page page = MakePage(40, 7);
    Bytes body = page.file;
    body.insert(body.end(), {1, 2, 3, 4, 5});  // whatever follows the page belongs to it
    WriteBytes(dir.File("one.dcx"), DcxWithOffsets({4096}, body));
    fax::BreakUp b(data);
    ASSERT_EQ(b.Run(dir.File("one.dcx"), "one", kKeep).outcome, fax::BreakUp::Outcome::Finished);
    EXPECT_EQ(ReadBytes(dir.File("one0001.pcx")), body);
}

TEST(BreakUp, EqualOffsetsGiveAnEmptyPageFile) {
    TempDir dir;
    Page page = MakePage(40, 3);
    WriteBytes(dir.File("eq.dcx"), DcxWithOffsets({4096, 4096}, page.file));
    fax::BreakUp b(dir.path());
    auto r = b.Run(dir.File("eq.dcx"), "eq", kKeep);
    ASSERT_EQ(r.outcome, fax::BreakUp::Outcome::Finished);
    ASSERT_TRUE(Exists(dir.File("eq0001.pcx")));
    EXPECT_TRUE(ReadBytes(dir.File("eq0001.pcx")).empty());
    EXPECT_EQ(ReadBytes(dir.File("eq0002.pcx")), page.file);
}

TEST(BreakUp, DeclinedOverwriteKeepsTheFileAndTheSequenceGoesOn) {
    Split s(3);
    WriteBytes(s.Out("memo0003.pcx"), {9, 9, 9});
    fax::BreakUp b(s.data);
    std::vector<fax::ToolMessage> asked;
    auto r = b.Run(s.source, "memo", [&](const fax::ToolMessage& q) {
        asked.push_back(q);
        return false;
    });
    EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Declined);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].text, s.Out("memo0003.pcx") + "\nAlready exists!\nOverwrite it?(N/y)");
    EXPECT_EQ(asked[0].title, "Vantorel dcx to pcx BreakUp");
    EXPECT_EQ(asked[0].icon, fax::MessageIcon::Question);
    EXPECT_EQ(ReadBytes(s.Out("memo0003.pcx")), (Bytes{9, 9, 9}));
    EXPECT_EQ(r.written.size(), 2u);

    // The next run goes on from 4, not from 1.
    r = b.Run(s.source, "next", kKeep);
    EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Finished);
    EXPECT_EQ(FilesIn(s.data), (std::vector<std::string>{"memo0001.pcx", "memo0002.pcx", "memo0003.pcx",
                                                           "next0004.pcx", "next0005.pcx", "next0006.pcx"}));
    EXPECT_EQ(ReadBytes(s.Out("next0004.pcx")), s.pages[0].file);

    // Each existing page is asked about separately and replaced only after a yes.
    fax::BreakUp again(s.data);
    unsigned questions = 0;
    r = again.Run(s.source, "memo", [&](const fax::ToolMessage&) { return ++questions != 2; });
    EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Declined);
    EXPECT_EQ(questions, 2u);
    EXPECT_EQ(ReadBytes(s.Out("memo0001.pcx")), s.pages[0].file);
    EXPECT_EQ(ReadBytes(s.Out("memo0003.pcx")), (Bytes{9, 9, 9}));
}

TEST(BreakUp, SourcesThatCannotBeSplit) {
    TempDir dir;
    Page page = MakePage(10, 1);
    Bytes shortDcx = MakeDcx({});
    shortDcx.resize(4095);
    WriteBytes(dir.File("short.dcx"), shortDcx);
    WriteBytes(dir.File("page.pcx"), page.file);
    std::string missing = dir.File("missing.dcx");

    fax::BreakUp b(dir.path());
    for (const std::string& path : {dir.File("short.dcx"), dir.File("page.pcx")}) {
        auto inspect = b.Inspect(path);
        EXPECT_FALSE(inspect.ok);
        EXPECT_EQ(inspect.message.text, path + "\nis not a valid dcx file");
        EXPECT_EQ(inspect.message.icon, fax::MessageIcon::Error);
        auto r = b.Run(path, "x", kKeep);
        EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Closed);
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_EQ(r.messages[0].text, path + "\nis not a valid dcx file");
    }
    auto inspect = b.Inspect(missing);
    EXPECT_EQ(inspect.message.text, "File Path\\Name:\n" + missing + "\ndoes not exist.");
    EXPECT_EQ(inspect.message.icon, fax::MessageIcon::Information);
    auto r = b.Run(missing, "x", kKeep);
    EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Closed);
    EXPECT_EQ(r.messages.at(0).text, "File Path\\Name:\n" + missing + "\n does not exist.");
    EXPECT_EQ(r.messages.at(0).icon, fax::MessageIcon::Error);
    EXPECT_EQ(FilesIn(dir.path()).size(), 2u);
}

TEST(BreakUp, DamagedTableIsRefusedBeforeAnythingIsWritten) {
    Page a = MakePage(30, 1), c = MakePage(30, 2);
    Bytes body = a.file;
    body.insert(body.end(), c.file.begin(), c.file.end());
    std::uint32_t second = 4096 + static_cast<std::uint32_t>(a.file.size());
    std::uint32_t end = 4096 + static_cast<std::uint32_t>(body.size());
    struct Case {
        const char* what;
        std::vector<std::uint32_t> offsets;
    } cases[] = {
        {"decreasing", {second, 4096}},
        {"past the end", {4096, second, end + 1}},
    };
    for (const auto& k : cases) {
        TempDir dir;
        std::filesystem::create_directory(dir.File("Data"));
        WriteBytes(dir.File("bad.dcx"), DcxWithOffsets(k.offsets, body));
        fax::BreakUp b(dir.File("Data"));
        EXPECT_FALSE(b.Inspect(dir.File("bad.dcx")).ok) << k.what;
        auto r = b.Run(dir.File("bad.dcx"), "bad", kKeep);
        EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::Closed) << k.what;
        ASSERT_EQ(r.messages.size(), 1u);
        EXPECT_NE(r.messages[0].text.find("damaged page table"), std::string::npos) << r.messages[0].text;
        EXPECT_TRUE(FilesIn(dir.File("Data")).empty()) << k.what;
    }
}

TEST(BreakUp, OutputThatCannotBeCreatedLeavesTheDialogOpen) {
    Split s(2);
    fax::BreakUp b(s.dir.File("no-such-folder"));
    auto r = b.Run(s.source, "memo", kKeep);
    EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::StayOpen);
    EXPECT_EQ(r.messages.at(0).text, "Can not Create:\n" + s.dir.File("no-such-folder") + "/memo0001.pcx");
    EXPECT_EQ(b.sequence(), 2u);

    // A seed that would leave the Data folder is refused the same way.
    fax::BreakUp c(s.data);
    r = c.Run(s.source, "../x", kKeep);
    EXPECT_EQ(r.outcome, fax::BreakUp::Outcome::StayOpen);
    EXPECT_TRUE(FilesIn(s.data).empty());
    EXPECT_FALSE(Exists(s.dir.File("x0001.pcx")));
}
