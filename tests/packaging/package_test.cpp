// The Debian package as the set-up test built and unpacked it: its name and control data,
// its files, the Debian and freedesktop checkers, and the unpacked programs at work.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "support/netpbm.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

const std::string kDir = VANTOREL_PACKAGE_DIR;
const std::string kRoot = kDir + "/root";

std::string Q(const std::string& s) { return "'" + s + "'"; }

bool Have(const char* tool) { return RunCommand(std::string("command -v ") + tool + " >/dev/null") == 0; }

std::string Deb() {
    for (const auto& e : fs::directory_iterator(kDir))
        if (e.path().extension() == ".deb") return e.path().string();
    return {};
}

std::string Field(const std::string& name) {
    std::string value;
    RunCommand("dpkg-deb -f " + Q(Deb()) + " " + name, &value);
    return value;
}

TEST(Package, NameAndControlData) {
    std::string arch;
    ASSERT_EQ(RunCommand("dpkg --print-architecture", &arch), 0);
    arch.pop_back();
    EXPECT_EQ(fs::path(Deb()).filename().string(), "vantorel_15.05.01_" + arch + ".deb");
    EXPECT_EQ(Field("Package"), "vantorel\n");
    EXPECT_EQ(Field("Version"), "15.05.01\n");
    // Dependencies come from dpkg-shlibdeps, which finds the libraries the programs link.
    const std::string depends = Field("Depends");
    for (const char* lib : {"libc6", "libtiff6", "libqt6widgets6", "libqt6printsupport6", "zlib1g", "libtesseract5",
                            "tesseract-ocr-eng"})
        EXPECT_NE(depends.find(lib), std::string::npos) << lib << " in " << depends;
}

TEST(Package, HoldsTheProgramsAndDesktopFiles) {
    struct Entry {
        std::string path;
        mode_t mode;
    };
    std::vector<Entry> entries = {
        {"usr/bin/tarvex", 0755},
        {"usr/bin/tarvex-cli", 0755},
        {"usr/bin/tarvex-thumbnailer", 0755},
        {"usr/libexec/vantorel/tarvex-launch", 0755},
        {"usr/share/applications/tarvex.desktop", 0644},
        {"usr/share/mime/packages/tarvex.xml", 0644},
        {"usr/share/thumbnailers/tarvex.thumbnailer", 0644},
        {"usr/share/metainfo/com.quorvane.vantorel.metainfo.xml", 0644},
        {"usr/share/icons/hicolor/scalable/apps/tarvex.svg", 0644},
        {"usr/share/doc/vantorel/tarvexhelp.htm", 0644},
        {"usr/share/doc/vantorel/README.TXT", 0644},
        {"usr/share/doc/vantorel/MANUAL.TXT", 0644},
        {"usr/share/doc/vantorel/copyright", 0644},
        {"usr/share/doc/vantorel/changelog.gz", 0644},
        {"usr/share/man/man1/tarvex.1.gz", 0644},
    };
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256, 512}) {
        const std::string s = std::to_string(size);
        entries.push_back({"usr/share/icons/hicolor/" + s + "x" + s + "/apps/tarvex.png", 0644});
    }
    if (VANTOREL_PACKAGE_HAS_INSTALLER) entries.push_back({"usr/bin/tarvexinst", 0755});
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.path);
        struct stat st {};
        ASSERT_EQ(::stat((kRoot + "/" + e.path).c_str(), &st), 0);
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(st.st_mode & 07777, e.mode);
    }
    // An icon of each size is that size.
    for (int size : {16, 256}) {
        const std::string s = std::to_string(size);
        Picture icon;
        std::string pam;
        ASSERT_EQ(RunCommand("pngtopnm " + Q(kRoot + "/usr/share/icons/hicolor/" + s + "x" + s + "/apps/tarvex.png") +
                             " | head -2", &pam), 0);
        EXPECT_NE(pam.find(s + " " + s), std::string::npos) << pam;
    }
}

TEST(Package, LintianFindsNoErrors) {
    if (!Have("lintian")) GTEST_SKIP() << "lintian is not installed";
    std::string report;
    RunCommand("lintian " + Q(Deb()) + " 2>/dev/null", &report);
    EXPECT_EQ(report.find("E: "), std::string::npos) << report;
}

TEST(Package, ValidatorsAcceptTheDesktopEntryAndMetainfo) {
    const std::string share = kRoot + "/usr/share";
    struct Check {
        const char* tool;
        std::string command;
    };
    const Check checks[] = {
        {"desktop-file-validate", "desktop-file-validate " + Q(share + "/applications/tarvex.desktop")},
        {"appstreamcli", "appstreamcli validate --no-net " + Q(share + "/metainfo/com.quorvane.vantorel.metainfo.xml")},
    };
    for (const Check& c : checks) {
        SCOPED_TRACE(c.command);
        if (!Have(c.tool)) {
            std::printf("skipped: %s is not installed\n", c.tool);
            continue;
        }
        std::string out;
        EXPECT_EQ(RunCommand(c.command, &out, true), 0) << out;
        EXPECT_EQ(out.find("error"), std::string::npos) << out;
    }
}

TEST(Package, MimeTypeMatchesDcxByNameAndMagic) {
    if (!Have("update-mime-database")) GTEST_SKIP() << "update-mime-database (shared-mime-info) is not installed";
    // The MIME database built from the package's file alone.
    TempDir mime;
    std::string out;
    fs::create_directories(mime.File("packages"));
    fs::copy_file(kRoot + "/usr/share/mime/packages/tarvex.xml", mime.File("packages/tarvex.xml"));
    ASSERT_EQ(RunCommand("update-mime-database " + Q(mime.path()), &out, true), 0) << out;
    Bytes globs = ReadBytes(mime.File("globs2")), magic = ReadBytes(mime.File("magic"));
    EXPECT_NE(std::string(globs.begin(), globs.end()).find(":image/x-dcx:*.dcx\n"), std::string::npos);
    const std::string bytes = "[60:image/x-dcx]\n>0=" + std::string("\0\4", 2) + "\xB1\x68\xDE\x3A\n";
    EXPECT_NE(std::string(magic.begin(), magic.end()).find(bytes), std::string::npos);
}

TEST(Package, UnpackedProgramsWork) {
    TempDir dir;
    const std::string sample = SourceDir() + "/resources/samples/sample.dcx";
    std::string out;
    ASSERT_EQ(RunCommand(Q(kRoot + "/usr/bin/tarvex-cli") + " check " + Q(sample), &out, true), 0) << out;
    // Installed as the thumbnailer file says it is run.
    Bytes entry = ReadBytes(kRoot + "/usr/share/thumbnailers/tarvex.thumbnailer");
    std::string exec(entry.begin(), entry.end());
    ASSERT_NE(exec.find("Exec=tarvex-thumbnailer -s %s %i %o\n"), std::string::npos) << exec;
    const std::string png = dir.File("thumb.png");
    ASSERT_EQ(RunCommand("PATH=" + Q(kRoot + "/usr/bin") + ":$PATH tarvex-thumbnailer -s 256 " + Q(sample) + " " + Q(png),
                         &out, true), 0) << out;
    Picture pic;
    ASSERT_TRUE(ReadPng(png, pic));
    EXPECT_LE(std::max(pic.width, pic.height), 256);
    EXPECT_GE(std::max(pic.width, pic.height), 240);
    ASSERT_EQ(RunCommand(Q(kRoot + "/usr/bin/tarvex-cli") + " export --to-dir " + Q(dir.File("out")) + " " + Q(sample),
                         &out, true), 0) << out;
    EXPECT_TRUE(Exists(dir.File("out/sample.pdf")));
}

TEST(Package, MenuEntryStartsTheViewerInAFolderOfTheUsersOwn) {
    // The unpacked launcher with a stand-in viewer that tells where and how it was started.
    TempDir dir;
    const std::string root = dir.File("usr");
    std::string out;
    ASSERT_EQ(RunCommand("mkdir -p " + Q(root + "/libexec/vantorel") + " " + Q(root + "/bin") + " && cp -p " +
                             Q(kRoot + "/usr/libexec/vantorel/tarvex-launch") + " " + Q(root + "/libexec/vantorel/") +
                             " && cp -rp " + Q(kRoot + "/usr/share") + " " + Q(root + "/"),
                         &out, true),
              0)
        << out;
    const std::string stub = "#!/bin/sh\npwd\nfor a in \"$@\"; do echo \"$a\"; done\n";
    WriteBytes(root + "/bin/tarvex", Bytes(stub.begin(), stub.end()));
    std::filesystem::permissions(root + "/bin/tarvex", std::filesystem::perms(0755));
    Bytes entry = ReadBytes(kRoot + "/usr/share/applications/tarvex.desktop");
    EXPECT_NE(std::string(entry.begin(), entry.end()).find("Exec=/usr/libexec/vantorel/tarvex-launch %f\n"),
              std::string::npos);
    const std::string data = dir.File("data");
    ASSERT_EQ(RunCommand("XDG_DATA_HOME=" + Q(data) + " " + Q(root + "/libexec/vantorel/tarvex-launch") + " '/faxes/a b.dcx'",
                         &out, true),
              0)
        << out;
    const std::string folder = data + "/Quorvane/Tarvex";
    EXPECT_EQ(out, folder + "\n/faxes/a b.dcx\n");
    for (const char* doc : {"README.TXT", "MANUAL.TXT"})
        EXPECT_EQ(ReadBytes(folder + "/" + doc), ReadBytes(kRoot + "/usr/share/doc/vantorel/" + doc)) << doc;
}

}  // namespace
