// The help page as the program writes it: its anchors, links and pictures read back with
// libxml2's HTML parser and checked with tidy; the plain-text documents; the resource writer.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>

#include "app/resource_writer.h"
#include "help/help.h"
#include "help_fixture.h"

using namespace helpfix;
using testing_support::RunCommand;

namespace {

const QString kBuilt = QStringLiteral(VANTOREL_HELP_DIR);

// One XPath query through xmllint's HTML parser.
QString XPath(const QString& page, const QString& query) {
    std::string out;
    const std::string cmd = "xmllint --html --xpath '" + query.toStdString() + "' '" + page.toStdString() + "' 2>/dev/null";
    RunCommand(cmd, &out);
    return Q(out);
}

QStringList AttributeValues(const QString& page, const QString& query, const QString& attribute) {
    QStringList values;
    const QRegularExpression re(attribute + QStringLiteral("=\"([^\"]*)\""));
    for (auto it = re.globalMatch(XPath(page, query)); it.hasNext();) values << it.next().captured(1);
    return values;
}

}  // namespace

TEST(HelpPage, CarriesEveryAnchorCallersUse) {
    HelpDesk desk;
    ASSERT_TRUE(app::WriteHelpFiles(nullptr, desk.state.programDir));
    const QStringList names = AttributeValues(desk.helpPage, "//a/@name", "name");
    for (const char* anchor : {"Top", "AboutMan", "About_But", "GettingStarted", "StartInst", "ToolsCfg", "Menu_ViewFax",
                               "print_fax", "dcx_to_pcx_BreakUp", "Build_Fax"})
        EXPECT_TRUE(names.contains(anchor)) << anchor;
    EXPECT_EQ(names.size(), QSet<QString>(names.begin(), names.end()).size()) << "an anchor is doubled";
}

TEST(HelpPage, IsValidWithWorkingLinksAndItsPicturesInside) {
    HelpDesk desk;
    ASSERT_TRUE(app::WriteHelpFiles(nullptr, desk.state.programDir));
    std::string report;
    EXPECT_EQ(RunCommand("tidy -errors -q '" + desk.helpPage.toStdString() + "'", &report, true), 0) << report;
    EXPECT_TRUE(XPath(desk.helpPage, "//script").isEmpty()) << "readable without scripts";

    const QStringList names = AttributeValues(desk.helpPage, "//a/@name", "name");
    const QStringList links = AttributeValues(desk.helpPage, "//a/@href", "href");
    EXPECT_GT(links.size(), 30) << "a table of contents and cross references";
    for (const QString& link : links) {
        ASSERT_TRUE(link.startsWith('#')) << "only links within the page: " << link.toStdString();
        EXPECT_TRUE(names.contains(link.mid(1))) << "broken link " << link.toStdString();
    }

    const int pictures = XPath(desk.helpPage, "count(//img)").toInt();
    EXPECT_GE(pictures, 9);
    for (int i = 1; i <= pictures; ++i) {
        const QString img = QStringLiteral("(//img)[%1]").arg(i);
        const QString src = XPath(desk.helpPage, "string(" + img + "/@src)");
        ASSERT_TRUE(src.startsWith("data:image/png;base64,")) << "picture " << i << " is not inside the page";
        QImage picture;
        ASSERT_TRUE(picture.loadFromData(QByteArray::fromBase64(src.mid(22).toLatin1()), "PNG")) << "picture " << i;
        EXPECT_EQ(picture.width(), XPath(desk.helpPage, "string(" + img + "/@width)").toInt());
        EXPECT_EQ(picture.height(), XPath(desk.helpPage, "string(" + img + "/@height)").toInt());
        EXPECT_FALSE(XPath(desk.helpPage, "string(" + img + "/@alt)").isEmpty());
    }
}

TEST(HelpPage, RewrittenAtEveryStartOverAUsersChanges) {
    HelpDesk desk;
    ASSERT_TRUE(QFile::copy(kBuilt + "/README.TXT", desk.state.programDir + "/MANUAL.TXT"));  // the user's own
    QFile changed(desk.helpPage);
    ASSERT_TRUE(changed.open(QIODevice::WriteOnly));
    changed.write(QByteArray(400000, 'x'));  // longer than the page: nothing of it may remain
    changed.close();
    ASSERT_TRUE(app::WriteHelpFiles(nullptr, desk.state.programDir));
    EXPECT_EQ(ReadAll(desk.helpPage), ReadAll(kBuilt + "/tarvexhelp.htm"));
    for (const char* doc : {"README.TXT", "MANUAL.TXT"})
        EXPECT_EQ(ReadAll(desk.state.programDir + "/" + doc), ReadAll(kBuilt + "/README.TXT")) << doc;
    EXPECT_TRUE(desk.prompts.asked.empty());
}

TEST(HelpPage, ManualTextHasEverySectionAndCrLfLineEnds) {
    const QString manual = ReadAll(kBuilt + "/MANUAL.TXT");
    const QString readme = ReadAll(kBuilt + "/README.TXT");
    for (const QString& text : {manual, readme}) {
        ASSERT_FALSE(text.isEmpty());
        EXPECT_EQ(text.count('\n'), text.count("\r\n")) << "every line ends in CR LF";
    }
    // One source: each heading of the page is a heading of the text.
    HelpDesk desk;
    ASSERT_TRUE(app::WriteHelpFiles(nullptr, desk.state.programDir));
    const QString headings = XPath(desk.helpPage, "//h2 | //h3");
    const QRegularExpression heading(QStringLiteral("<h[23]><a name=\"[^\"]+\">([^<]+)</a></h[23]>"));
    int count = 0;
    for (auto it = heading.globalMatch(headings); it.hasNext(); ++count) {
        const QString title = it.next().captured(1).replace("&gt;", ">").replace("&amp;", "&");
        EXPECT_TRUE(manual.contains("\r\n" + title + "\r\n")) << title.toStdString();
    }
    EXPECT_GT(count, 20);
    for (const char* part : {"How to start", "Where files go", "How to uninstall"}) EXPECT_TRUE(readme.contains(part));
}

TEST(ResourceWriter, WritesThePageOrFailsSilently) {
    // The short write and its message are covered with the installer's payload, which uses the
    // same writer.
    HelpDesk desk;
    ASSERT_EQ(QFile::link("/dev/full", desk.state.programDir + "/full.htm"), true);
    const QString page = ":/help/tarvexhelp.htm";
    struct Case {
        const char* what;
        QString resource, path;
        bool written;
    } cases[] = {
        {"written", page, desk.state.programDir + "/copy.htm", true},
        {"missing resource", ":/help/none.htm", desk.state.programDir + "/none.htm", false},
        {"folder missing", page, desk.state.programDir + "/no/such/folder/page.htm", false},
        {"a device is not replaced or written", page, desk.state.programDir + "/full.htm", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(app::WriteResourceFile(nullptr, c.resource, c.path), c.written) << c.what;
        EXPECT_TRUE(desk.prompts.asked.empty()) << c.what;
    }
    EXPECT_EQ(ReadAll(desk.state.programDir + "/copy.htm"), ReadAll(kBuilt + "/tarvexhelp.htm"));
}
