// tarvex-cli info, check and pbm, checked against the bundled samples and hostile files;
// decoded pages are compared with netpbm's own PCX reader.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

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
    EXPECT_EQ(out, tif + "\nIs not a DCX or PCX fax file: its name holds neither .dcx nor .pcx.\n");
    out.clear();
    EXPECT_EQ(RunCommand(Cli("check " + dir.File("none.pcx")), &out, true), 1);
    EXPECT_EQ(out, dir.File("none.pcx") + "\nCan not be accessed: No such file or directory.\n");
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
    EXPECT_NE(out.find("is too wide: more than 296 bytes (2368 pixels) a line."), std::string::npos);
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
    EXPECT_NE(out.find("Is not a DCX or PCX fax file: it holds fewer than 128 bytes."), std::string::npos);
    EXPECT_EQ(RunCommand(Cli("pbm " + Sample("sample.dcx") + " 0 " + dir.File("o.pbm")), nullptr, true), 2);
}

// tarvex-cli speaks as a command line: the file and the system's reason, never the window's
// menus; help and version on standard output; every output named (and there); `verify` finds
// the first page of each fax that does not decode whole from its own bytes.
TEST(CliSpeaks, AsACommandLine) {
    TempDir dir;
    const std::string s = Sample("sample.dcx"), d = dir.path();
    const Bytes sample = ReadBytes(s);
    // Cut 60 bytes into page 2's header: the quick check still says ok.
    WriteBytes(dir.File("cut.dcx"), Bytes(sample.begin(), sample.begin() + fax::ReadLe32(&sample[8]) + 60));
    // Page 1 claims 31 lines and holds 30; the next page's bytes are not its own.
    Bytes claims31 = MakePcx(PatternPage(216, 30, 1), 216);
    fax::WriteLe16(&claims31[10], 30);
    WriteBytes(dir.File("short.dcx"), MakeDcx({claims31, MakePcx(PatternPage(216, 30, 2), 216)}));
    std::filesystem::create_directory(dir.File("folder.dcx"));
    WriteBytes(dir.File("text.pcx"), Bytes(300, 'x'));
    const std::string notFax = "\nIs not a DCX or PCX fax file: ";
    struct Case {
        std::string args;
        int status;
        std::string out, err;  // each found in its stream
    } cases[] = {
        {"--help", 0, "usage: tarvex-cli [--yes] COMMAND", ""},
        {"verify --help", 0, "usage: tarvex-cli verify FAX...", ""},
        {"--version", 0, "tarvex-cli (Vantorel) 15.05.01\n", ""},
        {"info " + d + "/none.dcx", 1, "", d + "/none.dcx\nCan not be accessed: No such file or directory.\n"},
        {"info " + d + "/folder.dcx", 1, "", d + "/folder.dcx" + notFax + "it is a folder.\n"},
        {"info " + d + "/text.pcx", 1, "", d + "/text.pcx" + notFax + "it starts with neither a DCX page table"},
        {"frombmp " + d + "/none.bmp " + d + "/f.pcx", 1, "", d + "/none.bmp\nCan not be opened: No such file"},
        {"check " + d + "/cut.dcx", 0, "ok\n", ""},
        {"verify " + s + " " + d + "/cut.dcx " + d + "/short.dcx", 1, "whole " + s + ": 3 pages\n",
         "bad " + d + "/cut.dcx: page 2 of 3 has no complete header: the file ends first.\nbad " + d +
             "/short.dcx: page 1 of 2 ends after 30 of its 31 lines.\n"},
        {"verify " + Sample("deskof.pcx"), 0, "whole " + Sample("deskof.pcx") + ": 1 page\n", ""},
        {"export --to-dir " + d + "/out " + d + "/cut.dcx", 1, "",
         "failed " + d + "/cut.dcx: Dcx-Pcx to TIF and PDF failed with error[2023]: page 2 has no complete header"},
        {"print " + s + " " + d + "/new/sheets --dpi 100 --printable 850x1100 --last 2", 0,
         "wrote " + d + "/new/sheets/sheet0001.pbm\nwrote " + d + "/new/sheets/sheet0002.pbm\nsheets 2\n", ""},
        {"print " + s + " " + d + " --dpi 100", 2, "", "print: --printable is missing\n"},
        {"pbm " + s + " 1", 2, "", "pbm: OUT.pbm is missing\n"},
        {"pbm " + s + " 1 " + d + "/p.pbm", 0, "height 2200\nwrote " + d + "/p.pbm\n", ""},
        {"tobmp " + s + " 2 " + d + "/p.bmp", 0, "wrote " + d + "/p.bmp\n", ""},
        {"build " + d + "/b.dcx " + Sample("deskof.pcx"), 0, "pages 1\nwrote " + d + "/b.dcx\n", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out, err;
        EXPECT_EQ(RunCommand(Cli(c.args) + " 2>" + d + "/err", &out), c.status);
        Bytes e = ReadBytes(d + "/err");
        err.assign(e.begin(), e.end());
        EXPECT_NE(out.find(c.out), std::string::npos) << out;
        EXPECT_NE(err.find(c.err), std::string::npos) << err;
        EXPECT_TRUE(err.find("[Tools]") == std::string::npos && err.find("another program") == std::string::npos);
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);)
            EXPECT_TRUE(line.rfind("wrote ", 0) != 0 || Exists(line.substr(6))) << line;
    }
}
