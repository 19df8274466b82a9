// The document generator on small sources of its markup: what it makes, and that a broken
// link, a doubled anchor or a missing picture stops the build.
#include <gtest/gtest.h>

#include "help_fixture.h"

using namespace helpfix;
using testing_support::RunCommand;

namespace {
const std::string kGood =
    "= Guide {Top}\n"
    "Intro with `code` & <b>.\n\n"
    "== First {One}\n"
    "See [[Two|the second part]] and [[Top]].\n\n"
    "=== Inner\n"
    "- a bullet that is long enough to be wrapped onto a second line of the plain text at seventy-six\n"
    "  columns, continued here\n\n"
    "| Key | Does |\n|---|---|\n| D | default size |\n\n"
    "== Second {Two}\n"
    "@picture dot.png | A dot\n";

// Runs helpgen on `source` in a fresh folder with a 1 x 1 picture dot.png; returns its status.
int Generate(const testing_support::TempDir& dir, const std::string& source, std::string* err = nullptr) {
    testing_support::WriteBytes(dir.File("manual.txt"), testing_support::Bytes(source.begin(), source.end()));
    testing_support::WriteBytes(dir.File("readme.txt"), {'=', ' ', 'R', '\n'});
    RunCommand("convert -size 1x1 xc:black '" + dir.File("dot.png") + "'");
    return RunCommand(std::string(VANTOREL_HELPGEN) + " '" + dir.File("manual.txt") + "' '" + dir.File("readme.txt") +
                          "' '" + dir.path() + "' '" + dir.path() + "'",
                      err, true);
}
}  // namespace

TEST(HelpGenerator, MakesThePageAndTheTextFromOneSource) {
    testing_support::TempDir dir;
    std::string err;
    ASSERT_EQ(Generate(dir, kGood, &err), 0) << err;
    const QString html = ReadAll(Q(dir.File("tarvexhelp.htm")));
    for (const char* part : {"<h1><a name=\"Top\">Guide</a></h1>", "<code>code</code> &amp; &lt;b&gt;.",
                             "<a href=\"#Two\">the second part</a>", "<h3><a name=\"s1_1\">1.1 Inner</a></h3>",
                             "<li><a href=\"#s1_1\">1.1 Inner</a></li>", "<tr><th>Key</th><th>Does</th></tr>",
                             "<tr><td>D</td><td>default size</td></tr>", "src=\"data:image/png;base64,iVBORw0KGgo",
                             "width=\"1\" height=\"1\" alt=\"A dot\""})
        EXPECT_TRUE(html.contains(part)) << part;
    EXPECT_EQ(ReadAll(Q(dir.File("MANUAL.TXT"))).toStdString(),
              (QString("Guide\r\n=====\r\n\r\nIntro with code & <b>.\r\n\r\nContents\r\n--------\r\n\r\n  1. First\r\n"
                      "      1.1 Inner\r\n  2. Second\r\n\r\n\r\n1. First\r\n--------\r\n\r\n"
                      "See the second part (section 2) and Top.\r\n\r\n1.1 Inner\r\n\r\n"
                      "  - a bullet that is long enough to be wrapped onto a second line of the\r\n"
                      "    plain text at seventy-six columns, continued here\r\n\r\n"
                      "  Key  Does\r\n  " + QString(74, '-') + "\r\n  D    default size\r\n\r\n\r\n"
                      "2. Second\r\n---------\r\n\r\n[Picture 1 in the help page: A dot]\r\n\r\n")).toStdString());
}

TEST(HelpGenerator, StopsOnWhatWouldShipBroken) {
    struct Case {
        const char* what;
        std::string source, error;
    } cases[] = {
        {"broken link", kGood + "[[Three]]\n", "a link to the unknown anchor Three"},
        {"doubled anchor", kGood + "== Again {One}\n", "the anchor One is used twice"},
        {"missing picture", kGood + "@picture gone.png | Gone\n", "cannot read"},
        {"uneven table", kGood + "| a | b |\n| c |\n", "another number of cells"},
    };
    for (const Case& c : cases) {
        testing_support::TempDir dir;
        std::string err;
        EXPECT_NE(Generate(dir, c.source, &err), 0) << c.what;
        EXPECT_NE(err.find(c.error), std::string::npos) << c.what << ": " << err;
    }
}
