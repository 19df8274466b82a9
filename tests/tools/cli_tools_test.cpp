#include <gtest/gtest.h>

#include <filesystem>

#include "formats/dcx.h"
#include "formats/pcx.h"
#include "tool_fixtures.h"

using namespace testing_support;
using namespace toolfix;

namespace {
int Cli(const std::string& args, std::string* out = nullptr) { return Run(CliPath() + " " + args, out, true); }
}  // namespace

TEST(ToolsCli, BreakUpBuildAndLongFaxRoundTrip) {
    TempDir dir;
    std::vector<Page> pages = {MakePage(80, 1), MakePage(90, 2), MakePage(100, 3)};
    WriteBytes(dir.File("in.dcx"), MakeDcx({pages[0].file, pages[1].file, pages[2].file}));
    std::filesystem::create_directory(dir.File("out"));

    std::string out;
    ASSERT_EQ(Cli(dir.File("in.dcx") + " " + dir.File("out"), &out), 2) << "command name missing";
    ASSERT_EQ(Cli("breakup " + dir.File("in.dcx") + " " + dir.File("out") + " pagefile", &out), 0) << out;
    EXPECT_EQ(FilesIn(dir.File("out")), (std::vector<std::string>{"page0001.pcx", "page0002.pcx", "page0003.pcx"}));
    for (unsigned i = 0; i < 3; ++i) EXPECT_EQ(ReadBytes(dir.File("out/page000" + std::to_string(i + 1) + ".pcx")), pages[i].file);

    // Running again would replace the pages: refused, with the question as the message.
    out.clear();
    EXPECT_EQ(Cli("breakup " + dir.File("in.dcx") + " " + dir.File("out") + " page", &out), 1);
    EXPECT_NE(out.find(dir.File("out/page0001.pcx") + "\nAlready exists!\nOverwrite it?(N/y)"), std::string::npos) << out;

    // Reassemble in another order, with a page too short to be one.
    WriteBytes(dir.File("out/short.pcx"), Bytes(100, 0));
    out.clear();
    ASSERT_EQ(Cli("build " + dir.File("re.dcx") + " " + dir.File("out/page0003.pcx") + " " + dir.File("out/short.pcx") +
                      " " + dir.File("out/page0001.pcx"),
                  &out),
              0)
        << out;
    EXPECT_NE(out.find("is corrupt and will not be added."), std::string::npos);
    EXPECT_EQ(GmPageSizes(dir.File("re.dcx")), (std::vector<std::string>{"1728x100", "1728x80"}));
    EXPECT_EQ(Cli("build " + dir.File("re.dcx") + " " + dir.File("out/page0001.pcx")), 1) << "existing output";
    EXPECT_EQ(Cli("build " + dir.File("only.dcx")), 2);

    out.clear();
    ASSERT_EQ(Cli("longfax " + dir.File("in.dcx") + " " + dir.File("long.dcx"), &out), 0) << out;
    EXPECT_NE(out.find("lines 270"), std::string::npos) << out;
    EXPECT_EQ(GmPageSizes(dir.File("long.dcx")), (std::vector<std::string>{"1728x270"}));
}

TEST(ToolsCli, FailuresExitWithOne) {
    TempDir dir;
    Page page = MakePage(20, 1);
    WriteBytes(dir.File("p.pcx"), page.file);
    std::string out;
    EXPECT_EQ(Cli("breakup " + dir.File("p.pcx") + " " + dir.path(), &out), 1);
    EXPECT_NE(out.find("is not a valid dcx file"), std::string::npos) << out;
    out.clear();
    EXPECT_EQ(Cli("longfax " + dir.File("p.pcx") + " " + dir.File("l.dcx"), &out), 1);
    EXPECT_FALSE(out.empty());
    EXPECT_EQ(Cli("build " + dir.File("b.dcx") + " " + dir.File("missing.pcx"), &out), 1);
    EXPECT_EQ(Cli("breakup " + dir.File("p.pcx")), 2);
}
