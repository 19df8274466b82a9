#include <gtest/gtest.h>

#include <QDir>
#include <QString>
#include <filesystem>

#include "platform/shell.h"
#include "support/test_files.h"

using namespace testing_support;

TEST(DiscardFile, TrashWhereThereIsOneElseRemoved) {
    struct Case {
        const char* name;
        std::string dataHome;  // below the run's own folder
        bool trashed;
    };
    TempDir dir;
    WriteBytes(dir.File("plain"), {1});
    std::filesystem::create_directory(dir.File("other"));
    WriteBytes(dir.File("other/Trash"), {1});
    const Case cases[] = {
        {"trash, its data folder made first", dir.File("data"), true},
        {"a plain file where the trash would be", dir.File("other"), false},
        {"no trash can be made under a plain file", dir.File("plain/data"), false},
    };
    // Nothing may land in the current folder, whatever becomes of the file.
    TempDir cwd;
    const QString savedCwd = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(cwd.path()));
    const QByteArray saved = qgetenv("XDG_DATA_HOME");
    for (const Case& c : cases) {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(c.dataHome));
        const std::string fax = dir.File("letter.dcx");
        WriteBytes(fax, {7, 8, 9});
        EXPECT_TRUE(app::DiscardFile(QString::fromStdString(fax))) << c.name;
        EXPECT_FALSE(Exists(fax)) << c.name;
        const std::vector<Bytes> expected = c.trashed ? std::vector<Bytes>{{7, 8, 9}} : std::vector<Bytes>{};
        EXPECT_EQ(Trashed("letter.dcx"), expected) << c.name;
        EXPECT_TRUE(QDir(QString::fromStdString(cwd.path())).isEmpty()) << c.name;
    }
    qputenv("XDG_DATA_HOME", saved);
    QDir::setCurrent(savedCwd);
}
