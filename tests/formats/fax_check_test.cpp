#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include "formats/fax_check.h"
#include "support/test_files.h"

using namespace testing_support;

TEST(ContainsNoCase, Cases) {
    EXPECT_TRUE(fax::ContainsNoCase("C:/FAXES/FAX.DCX", ".dcx"));
    EXPECT_TRUE(fax::ContainsNoCase("a.pcx.bak", ".PCX"));
    EXPECT_FALSE(fax::ContainsNoCase("fax.tif", ".dcx"));
    EXPECT_FALSE(fax::ContainsNoCase("", ".dcx"));
    EXPECT_FALSE(fax::ContainsNoCase(".dcx", ""));
    EXPECT_FALSE(fax::ContainsNoCase(".dc", ".dcx"));
}

TEST(CheckFaxFile, EachStepHasItsMessage) {
    TempDir dir;
    const std::string notFax =
        "\nIs not a valid DCX or PCX fax file. To learn how to convert any file into a fax file, click "
        "[Tools], [Create Fax] and [Sending a Fax Directly from an Application].\n\nMessage(";

    std::string tif = dir.File("fax.tif");
    WriteBytes(tif, Bytes(200, 0));
    auto r = fax::CheckFaxFile(tif);
    EXPECT_EQ(r.step, 1);
    EXPECT_EQ(r.message, tif + notFax + "1)");

    std::string missing = dir.File("missing.dcx");
    r = fax::CheckFaxFile(missing);
    EXPECT_EQ(r.step, 2);
    EXPECT_EQ(r.message, "Can not access:\n" + missing + "\n\nIs it open in another program?\n\nMessage(2)");

    std::string small = dir.File("small.pcx");
    WriteBytes(small, Bytes(100, 0x0A));
    r = fax::CheckFaxFile(small);
    EXPECT_EQ(r.step, 4);
    EXPECT_EQ(r.message, small + notFax + "4)");

    std::string junk = dir.File("junk.DCX");
    WriteBytes(junk, Bytes(200, 0x42));
    EXPECT_EQ(fax::CheckFaxFile(junk).step, 5);

    std::string halfMagic = dir.File("half.dcx");
    Bytes m(200, 0);
    m[0] = 0xB1, m[1] = 0x68, m[2] = 0xDE, m[3] = 0x3B;
    WriteBytes(halfMagic, m);
    EXPECT_EQ(fax::CheckFaxFile(halfMagic).message, halfMagic + notFax + "5)");

    Bytes pcx(130, 0);
    pcx[0] = 0x0A, pcx[1] = 0x05, pcx[2] = 0x01;
    std::string good = dir.File("a.pcx.bak");
    WriteBytes(good, pcx);
    EXPECT_TRUE(fax::CheckFaxFile(good).ok());

    m[3] = 0x3A;
    WriteBytes(halfMagic, m);
    EXPECT_TRUE(fax::CheckFaxFile(halfMagic).ok());  // damaged pages are the readers' business
}

TEST(CheckFaxFile, UnreadableFileIsStep3) {
    if (geteuid() == 0) GTEST_SKIP() << "root can read any file";
    TempDir dir;
    std::string locked = dir.File("locked.dcx");
    WriteBytes(locked, Bytes(200, 0));
    chmod(locked.c_str(), 0);
    EXPECT_EQ(fax::CheckFaxFile(locked).step, 3);
}
