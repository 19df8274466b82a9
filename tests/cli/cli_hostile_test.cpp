// tarvex-cli with hostile inputs and outputs: special files named as the fax, a full
// disk, outputs that exist or are the input, options where file names belong.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "support/test_files.h"

using namespace testing_support;
namespace fs = std::filesystem;

namespace {

std::string Sample(const std::string& name) { return SourceDir() + "/resources/samples/" + name; }

struct Ran {
    int status;
    std::string output;  // standard output and error
};
Ran Cli(const std::string& args) {
    Ran r;
    r.status = RunCommand("cd /tmp && timeout 20 " + CliPath() + " " + args + " 2>&1", &r.output);
    return r;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    return names;
}

}  // namespace

// A FIFO, a device or a folder named as the fax is refused at once, by every command.
TEST(CliHostile, SpecialFilesAreRefusedAtOnceAsNoFax) {
    TempDir dir;
    const std::string fifo = dir.File("f.dcx"), folder = dir.File("d.pcx"), out = dir.File("out");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_directory(folder);
    fs::create_directory(out);
    fs::create_symlink("/dev/zero", dir.File("zero.dcx"));
    const char* commands[] = {"info %", "check %", "pbm % 1 OUT/p.pbm", "render % 1 OUT/p.png",
                              "export % OUT/x.tif OUT/x.pdf", "breakup % OUT", "longfax % OUT/l.dcx"};
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& input : {fifo, folder, dir.File("zero.dcx")})
        for (std::string command : commands) {
            command.replace(command.find('%'), 1, input);
            if (auto at = command.find("OUT"); at != std::string::npos) command.replace(at, 3, out);
            Ran r = Cli(command);
            EXPECT_EQ(r.status, 1) << command;
            EXPECT_EQ(r.output, input + "\nIs not a DCX or PCX fax file: it is " +
                                    (input == folder ? "a folder" : "a FIFO or device, not a regular file") + ".\n")
                << command;
        }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_EQ(Names(out), std::vector<std::string>{});

    // A folder given as a page: the cause is named and no empty fax is left.
    Ran build = Cli("build " + out + "/b.dcx " + folder + " " + Sample("deskof.pcx"));
    EXPECT_EQ(build.status, 1);
    EXPECT_EQ(build.output, folder + "\nCan not be opened: it is a folder.\n");
    EXPECT_TRUE(Names(out).empty());
}

// On a full disk nothing is left under an output's name, and the message says why.
TEST(CliHostile, FullDiskLeavesNothingAndNamesTheCause) {
    TempDir dir;
    SmallDisk disk(dir.File("small"));
    if (!disk.mounted()) GTEST_SKIP() << "no tmpfs can be mounted here (needs root)";
    const std::string s = dir.File("small"), fax = Sample("sample.dcx");
    struct Case {
        std::string args;
        std::string cause;
        std::vector<std::string> left = {};  // a new fax of the pages that were complete
    } cases[] = {
        {"pbm " + fax + " 1 " + s + "/p.pbm", "No space left on device"},
        {"render " + fax + " 1 " + s + "/p.png --zoom 100", "Could not write:"},
        {"export " + fax + " " + s + "/x.tif " + s + "/x.pdf", "failed with error[2032]"},
        {"longfax " + fax + " " + s + "/l.dcx", "could not write:\n" + s + "/l.dcx\nNo space left on device"},
        {"breakup " + fax + " " + s, "Disk may be full"},
        {"build " + s + "/b.dcx " + Sample("deskof.pcx") + " " + Sample("deskof.pcx"),
         "FV2, Could not write. Disk may be full...", {"b.dcx"}},
    };
    for (const Case& c : cases) {
        Ran r = Cli(c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.output.find(c.cause), std::string::npos) << c.args << ":\n" << r.output;
        EXPECT_EQ(Names(s), c.left) << c.args;
        for (const std::string& name : c.left) {
            EXPECT_EQ(Cli("info " + s + "/" + name).output.substr(0, 17), "kind DCX\npages 1\n");
            fs::remove(s + "/" + name);
        }
    }
}

// Where the window would ask, the command says No unless --yes answers Yes; an option
// is never a file name.
TEST(CliHostile, YesAnswersAndOptionsAreNoFileNames) {
    TempDir dir;
    const std::string fax = Sample("sample.dcx"), page = Sample("deskof.pcx");
    WriteBytes(dir.File("old.dcx"), {1, 2, 3});
    struct Case {
        std::string args;
        int status;
        const char* output;  // part of it
        bool replaced;       // old.dcx now a fax
    } cases[] = {
        {"build " + dir.File("old.dcx") + " " + page, 1, "give --yes to answer Yes", false},
        {"longfax " + fax + " " + dir.File("old.dcx"), 1, "already exists!", false},
        {"build -y " + dir.File("old.dcx") + " " + page, 2, "unknown option -y", false},
        {"build " + dir.File("old.dcx") + " --force " + page, 2, "unknown option --force", false},
        {"info --zoom 50 " + fax, 2, "unknown option --zoom", false},
        {"render " + fax + " 1 " + dir.File("r.png") + " --yes --zoom 25", 0, "page 1 of 3", false},
        {"--yes longfax " + fax + " " + dir.File("old.dcx"), 0, "lines 6600", true},
        {"build --yes " + dir.File("old.dcx") + " " + page, 0, "pages 1", true},
        {"build " + dir.File("n.dcx") + " -x.pcx", 2, "unknown option -x.pcx", false},
        {"build " + dir.File("n.dcx") + " -- -x.pcx", 1, "-x.pcx\nCan not be opened: No such file", false},
    };
    for (const Case& c : cases) {
        WriteBytes(dir.File("old.dcx"), {1, 2, 3});
        Ran r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ":\n" << r.output;
        EXPECT_NE(r.output.find(c.output), std::string::npos) << c.args << ":\n" << r.output;
        EXPECT_EQ(ReadBytes(dir.File("old.dcx")).size() > 3, c.replaced) << c.args;
    }
    EXPECT_FALSE(Exists(dir.File("n.dcx")));

    // Even with --yes, no output may be the file it is made from.
    const std::string self = dir.File("0001.pcx"), selfDcx = dir.File("self.dcx");
    const Bytes faxBytes = ReadBytes(fax);
    struct Self {
        std::string file, args, output;
    } selves[] = {
        {selfDcx, "longfax " + selfDcx + " " + selfDcx, "is the fax to be joined itself"},
        {self, "build " + self + " " + page + " " + self, "It is one of the pages it would be built from"},
        {self, "breakup " + self + " " + dir.path(), "It is the fax being split"},
    };
    for (const Self& c : selves) {
        WriteBytes(c.file, faxBytes);
        Ran r = Cli("--yes " + c.args);
        EXPECT_EQ(r.status, 1) << c.args;
        EXPECT_NE(r.output.find(c.output), std::string::npos) << c.args << ":\n" << r.output;
        EXPECT_TRUE(ReadBytes(c.file) == faxBytes) << c.args;
        fs::remove(c.file);
    }

    // BreakUp asks for every page file: refused as a whole, or all replaced with --yes.
    WriteBytes(dir.File("0002.pcx"), {9});
    EXPECT_EQ(Cli("breakup " + fax + " " + dir.path()).status, 1);
    EXPECT_FALSE(Exists(dir.File("0001.pcx")));
    EXPECT_EQ(Cli("breakup --yes " + fax + " " + dir.path()).status, 0);
    EXPECT_GT(ReadBytes(dir.File("0002.pcx")).size(), 128u);
}

// Pages that hold nothing, pages too tall to show, outputs that are the input.
TEST(CliHostile, EmptyTallAndSelfOverwritingPages) {
    TempDir dir;
    WriteBytes(dir.File("empty.pcx"), PcxHeaderBytes(216, 99));  // a header and no data
    // 1,200,000 lines of 10 bytes in runs of 63 that cross the line ends: 381 KB.
    Bytes tall = PcxHeaderBytes(10, 0);
    const std::uint32_t lines = 1200000;
    for (int k = 0; k < 4; ++k) tall[68 + k] = static_cast<std::uint8_t>((lines - 1) >> (8 * k));
    tall[72] = 0x21;
    for (std::uint64_t left = std::uint64_t{lines} * 10; left > 0; left -= std::min<std::uint64_t>(left, 63))
        tall.insert(tall.end(), {static_cast<std::uint8_t>(0xC0 | std::min<std::uint64_t>(left, 63)), 0xAA});
    WriteBytes(dir.File("tall.pcx"), tall);
    WriteBytes(dir.File("copy.pcx"), ReadBytes(Sample("deskof.pcx")));

    struct Case {
        std::string args;
        int status;
        std::string output;
        const char* absent;  // an output that must not exist
    } cases[] = {
        {"pbm " + dir.File("empty.pcx") + " 1 " + dir.File("e.pbm"), 1,
         "Page 1 of:\n" + dir.File("empty.pcx") +
             "\nholds no complete line, so there is no picture to write.\nNothing was written.\n",
         "e.pbm"},
        {"render " + dir.File("tall.pcx") + " 1 " + dir.File("t.png") + " --zoom 100", 1,
         "Can not view this file because of a memory problem.\nUnZipFaxToScreen Error 7\n", "t.png"},
        {"pbm " + dir.File("copy.pcx") + " 1 " + dir.File("copy.pcx"), 1, "Can not create:\n", nullptr},
        {"export " + dir.File("copy.pcx") + " " + dir.File("c.tif") + " " + dir.File("copy.pcx"), 1,
         "Can not create:\n" + dir.File("copy.pcx") + "\nIt is the fax file itself", "c.tif"},
        {"pbm " + Sample("deskof.pcx") + " 1 /dev/stdout", 0, "P4\n1728 2200\n", nullptr},
    };
    for (const Case& c : cases) {
        Ran r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_EQ(r.output.substr(0, c.output.size()), c.output) << c.args;
        if (c.absent) {
            EXPECT_FALSE(Exists(dir.File(c.absent))) << c.args;
        }
    }
    EXPECT_TRUE(ReadBytes(dir.File("copy.pcx")) == ReadBytes(Sample("deskof.pcx")));
}

// Headers that claim what the data does not hold: every command ends at once with a
// result bounded by the data (the sanitizer build runs this too).
TEST(CliHostile, HostileHeadersGiveBoundedResults) {
    TempDir dir;
    auto page = [](std::uint16_t bpl, std::uint32_t lines, std::size_t dataBytes) {
        Bytes p = PcxHeaderBytes(bpl, static_cast<std::uint16_t>(lines - 1));
        for (int k = 0; k < 4; ++k) p[68 + k] = static_cast<std::uint8_t>((lines - 1) >> (8 * k));
        p[72] = 0x21;
        p.resize(p.size() + dataBytes, 0x55);
        return p;
    };
    WriteBytes(dir.File("zero.dcx"), MakeDcx({page(0, 16777216, 4000), page(216, 10, 3000)}));
    WriteBytes(dir.File("claim.dcx"), MakeDcx({page(216, 16777216, 4000), page(216, 16777216, 4000)}));
    fs::create_directory(dir.File("out"));
    const std::string out = dir.File("out");
    for (const char* fax : {"zero.dcx", "claim.dcx"})
        for (std::string command : {"info", "pbm", "render", "export", "breakup", "longfax"}) {
            std::string args = command + " " + dir.File(fax);
            if (command == "pbm" || command == "render") args += " 1 " + out + "/p";
            if (command == "export") args += " " + out + "/x.tif " + out + "/x.pdf";
            if (command == "breakup") args += " " + out;
            if (command == "longfax") args += " " + out + "/l.dcx";
            Ran r = Cli("--yes " + args);
            EXPECT_TRUE(r.status == 0 || r.status == 1) << args << ":\n" << r.output;
            for (const auto& e : fs::directory_iterator(out)) {
                EXPECT_LT(fs::file_size(e.path()), 1u << 20) << args << ": " << e.path();
                fs::remove(e.path());
            }
        }
    // BytesPerLine 0 is a damaged page for the TIFF, not 16 million white rows.
    Ran r = Cli("export " + dir.File("zero.dcx") + " " + out + "/x.tif " + out + "/x.pdf");
    EXPECT_EQ(r.output,
              "Dcx-Pcx to TIF and PDF failed with error[2025]: page 1 is damaged: its lines are 0 bytes wide.\n");
}
