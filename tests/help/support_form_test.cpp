// The support mail form page: its info block, widths, mail body and line ends, read back
// from the written file; the template filler; every failure message.
#include <gtest/gtest.h>

#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QScreen>

#include "help/support_contacts.h"
#include "help/support_form.h"
#include "help_fixture.h"

using namespace helpfix;

namespace {
const QString kSubject = QStringLiteral("I need tech-support...");
const QString kMessage = QStringLiteral("My reason for writing is:\r\n\r\n");

QString Page(const HelpDesk& desk) { return ReadAll(desk.state.programDir + "/email_ts.htm"); }

// The value of the hidden field that carries the info block.
QString InfoBlock(const QString& page) {
    const QString start = QStringLiteral("name=\"szEmailBodyInfo\" value=\"");
    const qsizetype from = page.indexOf(start);
    if (from < 0) return {};
    const qsizetype begin = from + start.size();
    return page.mid(begin, page.indexOf('"', begin) - begin);
}
}  // namespace

TEST(FillTemplate, EachPlaceholderTakesTheNextValueOnce) {
    struct Case {
        QString format;
        QStringList values;
        QString filled;
    } cases[] = {
        {"a%sb%ic%c", {"1", "2", "%"}, "a1b2c%"},
        {"%s", {"%s%i"}, "%s%i"},  // values are not read again
        {"no placeholders", {}, "no placeholders"},
        {"%s %s", {"1"}, ""},      // too few values
        {"%s", {"1", "2"}, ""},    // too many
        {"100%", {}, ""},          // a bare percent sign
        {"%d", {"1"}, ""},         // a kind the form does not use
    };
    for (const Case& c : cases) EXPECT_EQ(app::FillTemplate(c.format, c.values), c.filled) << c.format.toStdString();
}

TEST(SupportForm, PageCarriesTheInfoBlockTheFormAndOneFinalCrLf) {
    HelpDesk desk;
    desk.state.osDescription = "Debian GNU/Linux 12 (bookworm), 64bit, CPU: x86_64";
    ASSERT_TRUE(app::ShowSupportForm(nullptr, desk.state, kSubject, kMessage));
    const QString path = desk.state.programDir + "/email_ts.htm";
    EXPECT_EQ(desk.shell.opened, QStringList{path});
    EXPECT_TRUE(desk.prompts.asked.empty());

    const QString page = Page(desk);
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    EXPECT_EQ(InfoBlock(page).split("\r\n"),
              (QStringList{"------------ start info ------------",
                           QStringLiteral("WIN - %1 - [%2 X %3]").arg(desk.state.osDescription).arg(screen.width()).arg(screen.height()),
                           "APP - Vantorel - 15.05.01", "SUB - " + kSubject, "MSG - My reason for writing is:", "", "",
                           "------------- end info -------------"}));
    EXPECT_EQ(page.count("width=\"100%\""), 2);
    EXPECT_EQ(page.count("width: 100%\""), 1);
    EXPECT_FALSE(page.contains("%c"));
    EXPECT_TRUE(page.contains("action=\"" + app::kFormHandler + "\""));
    EXPECT_TRUE(page.contains("name=\"ToName\" value=\"" + app::kSupportRecipient + "\""));
    EXPECT_TRUE(page.contains("name=\"Subject\" size=\"60\" value=\"" + kSubject + "\""));
    for (const char* field : {"FromName", "FromEmail"})
        EXPECT_TRUE(page.contains(QStringLiteral("name=\"%1\" size=\"40\" value=\"\"").arg(field))) << field;
    EXPECT_EQ(page.count("type=\"submit\""), 2);
    EXPECT_TRUE(page.contains(">Hello Halvard/Orlind,\r\n\r\nI am running [Vantorel, 15.05.01].\r\n\r\n"
                              "My reason for writing is:\r\n\r\n\r\n</textarea>"));

    EXPECT_EQ(page.count('\n'), page.count("\r\n")) << "CR LF throughout";
    EXPECT_TRUE(page.endsWith("</html>\r\n"));
    std::string report;
    EXPECT_EQ(testing_support::RunCommand("tidy -errors -q '" + path.toStdString() + "'", &report, true), 0) << report;
}

TEST(SupportForm, SecondRunReplacesThePageAndTextIsEscaped) {
    HelpDesk desk;
    QFile old(desk.state.programDir + "/email_ts.htm");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    ASSERT_TRUE(app::ShowSupportForm(nullptr, desk.state, kSubject, "first"));
    ASSERT_TRUE(app::ShowSupportForm(nullptr, desk.state, "Say \"hi\" <now>", "second & last"));
    const QString page = Page(desk);
    EXPECT_FALSE(page.contains("xxx"));
    EXPECT_FALSE(page.contains("first"));
    EXPECT_TRUE(InfoBlock(page).endsWith("SUB - Say &quot;hi&quot; &lt;now&gt;\r\nMSG - second &amp; last\r\n"
                                         "------------- end info -------------"));
    EXPECT_EQ(desk.shell.opened.size(), 2);
}

TEST(SupportForm, EachFailureHasItsMessage) {
    HelpDesk desk;
    const QString path = desk.state.programDir + "/email_ts.htm";
    struct Case {
        const char* what;
        QString text;
    } cases[] = {
        {"folder missing", "Could not create [Quorvane email form] file:\n%1\nCheck hard-drive."},
        {"disk full", "Could not write [Quorvane email form] file:\n%1\nCheck hard-drive."},
        {"no browser", "Unable to open your web-browser to the Quorvane email form at:\n%1\n\n\nPlease type the following "
                       "URL into your web-browse and goto it.\n\n" + app::kMailPage + "\n\nOr call Quorvane tech-support at " +
                           app::kSupportPhone + "."},
    };
    for (const Case& c : cases) {
        app::ViewerState state = desk.state;
        QString expectedPath = path;
        if (std::string(c.what) == "folder missing") {
            state.programDir += "/gone";
            expectedPath = state.programDir + "/email_ts.htm";
        } else if (std::string(c.what) == "disk full") {
            QFile::remove(path);
            ASSERT_TRUE(QFile::link("/dev/full", path));
        } else {
            QFile::remove(path);
            desk.shell.runPrograms = true;  // a desktop with no browser and no program for web pages
        }
        desk.prompts.asked.clear();
        EXPECT_FALSE(app::ShowSupportForm(nullptr, state, kSubject, kMessage)) << c.what;
        ASSERT_EQ(desk.prompts.asked.size(), 1u) << c.what;
        EXPECT_EQ(desk.prompts.asked[0].text, c.text.arg(expectedPath)) << c.what;
        EXPECT_EQ(desk.prompts.asked[0].icon, app::Icon::Error);
        EXPECT_EQ(desk.prompts.asked[0].title, "Vantorel");
    }
}
