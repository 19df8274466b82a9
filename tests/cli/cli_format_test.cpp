// tarvex-cli info, check and pbm, checked against the bundled samples and hostile files;
// decoded pages are compared with netpbm's own PCX reader.
#include <gtest/gtest.h>

#include "formats/pcx.h"
#include "support/test_files.h"

using namespace testing_support;

namespace {
std::string Cli(const std::string& args) { return CliPath() + " " + args; }
std::string Sample(const std::string& name) { return SourceDir() + "/resources/samples/" + name; }
}  // namespace

TEST(CliInfo, ListsEveryPage) {
    std::string out;
    ASSERT_EQ(RunCommand(Cli("info " + Sample("sample.dcx")), &out), 0);
    EXPECT_EQ(out.substr(0, out.find("page 1")), "kind DCX\npages 3\n");
    EXPECT_NE(out.find("page 1 offset 4096 bytes-per-line 216 lines 2200 fax\n"), std::string::npos);
    EXPECT_NE(out.find("page 3 offset "), std::string::npos);
    out.clear();
    ASSERT_EQ(RunCommand(Cli("info " + Sample("deskof.pcx")), &out), 0);
    EXPECT_EQ(out, "kind PCX\npages 1\npage 1 offset 0 bytes-per-line 216 lines 2200 fax\n");
}

TEST(CliCheck, ReportsTheFailingStep) {
    TempDir dir;
    std::string out;
    EXPECT_EQ(RunCommand(Cli("check " + Sample("sample.dcx")), &out), 0);
    std::string tif = dir.File("x.tif");
    WriteBytes(tif, Bytes(300, 0));
    out.clear();
    EXPECT_EQ(RunCommand(Cli("check " + tif), &out, true), 1);
    EXPECT_NE(out.find("\n\nMessage(1)"), std::string::npos);
    out.clear();
    EXPECT_EQ(RunCommand(Cli("check " + dir.File("none.pcx")), &out, true), 1);
    EXPECT_NE(out.find("Can not access:"), std::string::npos);
    EXPECT_EQ(RunCommand(Cli("check"), nullptr, true), 2);
    EXPECT_EQ(RunCommand(Cli("nonsense x"), nullptr, true), 2);
}

TEST(CliPbm, AgreesWithNetpbmsReader) {
    TempDir dir;
    for (std::string name : {"deskof.pcx"}) {
        std::string ours = dir.File("ours.pbm"), theirs = dir.File("theirs.pbm");
        ASSERT_EQ(RunCommand(Cli("pbm " + Sample(name) + " 1 " + ours)), 0);
        ASSERT_EQ(RunCommand("pcxtoppm " + Sample(name) + " | ppmtopgm | pgmtopbm -threshold > " + theirs + " 2>/dev/null"), 0);
        EXPECT_EQ(ReadBytes(ours), ReadBytes(theirs));
    }
    // Every page of the DCX, split out by hand into PCX files netpbm can read.
    Bytes dcx = ReadBytes(Sample("sample.dcx"));
    for (unsigned n = 1; n <= 3; ++n) {
        std::uint32_t from = fax::ReadLe32(&dcx[4 * n]);
        std::uint32_t to = n < 3 ? fax::ReadLe32(&dcx[4 * (n + 1)]) : static_cast<std::uint32_t>(dcx.size());
        std::string page = dir.File("page.pcx");
        WriteBytes(page, Bytes(dcx.begin() + from, dcx.begin() + to));
        std::string ours = dir.File("ours.pbm"), theirs = dir.File("theirs.pbm");
        ASSERT_EQ(RunCommand(Cli("pbm " + Sample("sample.dcx") + " " + std::to_string(n) + " " + ours)), 0);
        ASSERT_EQ(RunCommand("pcxtoppm " + page + " | ppmtopgm | pgmtopbm -threshold > " + theirs + " 2>/dev/null"), 0);
        EXPECT_EQ(ReadBytes(ours), ReadBytes(theirs)) << "page " << n;
    }
}

TEST(CliPbm, WidthLimitsAndHostileFiles) {
    TempDir dir;
    auto pcx = [&](std::uint16_t bpl, const std::string& name) {
        Bytes f = MakePcx(PatternPage(bpl, 4, 1), bpl);
        fax::WriteLe16(&f[66], bpl);
        WriteBytes(dir.File(name), f);
        return dir.File(name);
    };
    std::string out;
    EXPECT_EQ(RunCommand(Cli("pbm " + pcx(296, "w296.pcx") + " 1 " + dir.File("o.pbm"))), 0);
    EXPECT_EQ(ReadBytes(dir.File("o.pbm")).size(), std::string("P4\n2368 4\n").size() + 296 * 4);
    EXPECT_EQ(RunCommand(Cli("pbm " + pcx(297, "w297.pcx") + " 1 " + dir.File("o.pbm")), &out, true), 1);
    EXPECT_NE(out.find("It is too Wide"), std::string::npos);
    for (std::uint16_t bpl : {0, 9, 65535}) {
        Bytes f = PcxHeaderBytes(bpl, 2);
        f.resize(300, 0xFF);
        WriteBytes(dir.File("bad.pcx"), f);
        EXPECT_EQ(RunCommand(Cli("pbm " + dir.File("bad.pcx") + " 1 " + dir.File("o.pbm")), nullptr, true), 1) << bpl;
    }

    // Claims 16,777,216 lines and holds three: three lines come out, quickly and small.
    Bytes huge = PcxHeaderBytes(216, 0);
    huge[72] = 0x21;
    fax::WriteLe32(&huge[68], 0x00FFFFFF);
    Bytes data = EncodePage(PatternPage(216, 3, 2), 216);
    huge.insert(huge.end(), data.begin(), data.end());
    WriteBytes(dir.File("huge.pcx"), huge);
    std::string peak;
    ASSERT_EQ(RunCommand("/usr/bin/time -f %M -o " + dir.File("peak") + " " +
                         Cli("pbm " + dir.File("huge.pcx") + " 1 " + dir.File("o.pbm"))),
              0);
    EXPECT_EQ(ReadBytes(dir.File("o.pbm")).size(), std::string("P4\n1728 3\n").size() + 216 * 3);
    // Peak resident kilobytes: far below the 3.6 GB the header claims (sanitizer builds included).
    Bytes kb = ReadBytes(dir.File("peak"));
    EXPECT_LT(std::stol(std::string(kb.begin(), kb.end())), 150000);

    // Page offsets past the end, decreasing offsets, a short table, an empty file.
    Bytes dcx = MakeDcx({MakePcx(PatternPage(216, 4, 1), 216), MakePcx(PatternPage(216, 4, 2), 216)});
    Bytes past = dcx;
    fax::WriteLe32(&past[8], 0x7FFFFFFF);
    WriteBytes(dir.File("past.dcx"), past);
    EXPECT_EQ(RunCommand(Cli("pbm " + dir.File("past.dcx") + " 2 " + dir.File("o.pbm")), nullptr, true), 1);
    Bytes decreasing = dcx;
    fax::WriteLe32(&decreasing[8], 10);
    WriteBytes(dir.File("dec.dcx"), decreasing);
    EXPECT_EQ(RunCommand(Cli("pbm " + dir.File("dec.dcx") + " 2 " + dir.File("o.pbm")), nullptr, true), 1);
    WriteBytes(dir.File("short.dcx"), Bytes(dcx.begin(), dcx.begin() + 100));
    EXPECT_EQ(RunCommand(Cli("pbm " + dir.File("short.dcx") + " 1 " + dir.File("o.pbm")), &out, true), 1);
    WriteBytes(dir.File("empty.dcx"), {});
    out.clear();
    EXPECT_EQ(RunCommand(Cli("info " + dir.File("empty.dcx")), &out, true), 1);
    EXPECT_NE(out.find("UnZipFaxToScreen Error 1"), std::string::npos);
    EXPECT_EQ(RunCommand(Cli("pbm " + Sample("sample.dcx") + " 0 " + dir.File("o.pbm")), nullptr, true), 2);
}
