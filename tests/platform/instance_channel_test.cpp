#include "platform/instance_channel.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>

#include "platform/pump_wait.h"
#include "support/test_files.h"

using namespace app;
using namespace testing_support;


TEST(InstanceChannel, SocketInTheRuntimeFolderForThisUserOnly) {
    TempDir runtime;
    const std::string name = "tarvex-" + std::to_string(::getuid()) + "-424242";
    struct Case {
        std::string runtimeDir;
        std::string expectedFolder;
    };
    const Case cases[] = {{runtime.path(), runtime.path()}, {"", QDir::tempPath().toStdString()}};
    const QByteArray saved = qgetenv("XDG_RUNTIME_DIR");
    for (const Case& c : cases) {
        if (c.runtimeDir.empty())
            qunsetenv("XDG_RUNTIME_DIR");
        else
            qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(c.runtimeDir));
        EXPECT_EQ(ChannelName(424242).toStdString(), c.expectedFolder + "/" + name);
        InstanceChannel channel;
        ASSERT_TRUE(channel.listen(424242)) << c.expectedFolder;
        struct stat st {};
        ASSERT_EQ(::stat((c.expectedFolder + "/" + name).c_str(), &st), 0) << c.expectedFolder;
        EXPECT_TRUE(S_ISSOCK(st.st_mode));
        EXPECT_EQ(st.st_mode & 077, 0u) << "others may not connect";

        qint64 got = -1;
        QObject::connect(&channel, &InstanceChannel::commandReceived, [&](int id, qint64 p) { got = id + p; });
        EXPECT_TRUE(PostCommandToHandle(424242, 65000, 7));
        for (int i = 0; i < 50 && got < 0; ++i) PumpWait(10, true);
        EXPECT_EQ(got, 65007);
    }
    qputenv("XDG_RUNTIME_DIR", saved);
}

TEST(InstanceChannel, LinesLongerThan64BytesAreDropped) {
    const QByteArray at = "32807 " + QByteArray(58, '1');  // exactly 64 bytes
    const QByteArray past = at + "1";                      // 65
    struct Case {
        const char* name;
        QList<QByteArray> pieces;
        QList<QByteArray> lines;
    };
    const Case cases[] = {
        {"at the limit", {at + "\n"}, {at}},
        {"one past", {past + "\nnext\n"}, {"next"}},
        {"one past, in pieces", {past.left(40), past.mid(40), "\nnext\n"}, {"next"}},
        {"long without end, then a line", {QByteArray(10000, 'x'), QByteArray(10000, 'x'), "\n65000 0\n"}, {"65000 0"}},
        {"pieces of a short line", {"650", "00 1", "\n"}, {"65000 1"}},
    };
    for (const Case& c : cases) {
        ChannelLines lines;
        QList<QByteArray> got;
        for (const QByteArray& piece : c.pieces) got += lines.Feed(piece);
        EXPECT_EQ(got, c.lines) << c.name;
    }
}
