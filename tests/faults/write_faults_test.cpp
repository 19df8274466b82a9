// tarvex-cli's writers on a disk that fills up or fails: under the preload library every
// write, sync, close and rename in the output folder fails from the N-th byte or call on.
// Whatever N, each file is afterwards either as it was before or as a run without faults
// leaves it, nothing else is left behind, and the exit status is 1 (or 0 with the complete result).
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;
using namespace testing_support;
using Files = std::map<std::string, Bytes>;  // name in the folder -> contents

Files Snapshot(const std::string& dir) {
    Files files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory()) files[fs::relative(e.path(), dir).string()] = ReadBytes(e.path().string());
    return files;
}

// A PDF carries the time it was made; the rest must match byte for byte.
Bytes Comparable(const std::string& name, const Bytes& bytes) {
    if (name.size() < 4 || name.substr(name.size() - 4) != ".pdf") return bytes;
    std::string text(bytes.begin(), bytes.end());
    text = std::regex_replace(text, std::regex(R"(\(D:[^)]*\))"), "(D:)");
    return Bytes(text.begin(), text.end());
}

bool Same(const std::string& name, const Bytes& a, const Bytes& b) { return Comparable(name, a) == Comparable(name, b); }

struct WriterCase {
    const char* name;
    const char* args;     // after the program; IN and OUT stand for the input and output folders
    const char* prepare;  // shell commands run in OUT first (files the user already has); may be ""
};

const WriterCase kWriters[] = {
    {"breakup", "--yes breakup IN/sample.dcx OUT sp", "cp IN/sp0003.pcx sp0002.pcx"},
    {"build", "--yes build OUT/fax.dcx IN/sp0001.pcx IN/sp0003.pcx", "cp IN/sample.dcx fax.dcx"},
    {"longfax", "--yes longfax IN/sample.dcx OUT/long.dcx", "cp IN/sp0001.pcx long.dcx"},
    {"export", "--yes export IN/sample.dcx OUT/fax.tif OUT/fax.pdf", "echo old >fax.pdf"},
    {"replace", "replace OUT/fax.dcx 2 IN/sp0001.pcx", "cp IN/sample.dcx fax.dcx"},
    {"frombmp", "--yes frombmp IN/page.bmp OUT/page.pcx", "cp IN/sp0002.pcx page.pcx"},
    {"tobmp", "--yes tobmp IN/sample.dcx 3 OUT/page.bmp", ""},
    {"print", "print IN/sample.dcx OUT --dpi 100 --printable 800x1000", "echo keep >keep.txt"},
    {"render", "--yes render IN/sample.dcx 2 OUT/page.png --zoom 50", "echo keep >keep.txt"},
    {"pbm", "--yes pbm IN/sample.dcx 1 OUT/page.pbm", "echo keep >keep.txt"},
};

class WriteFaults : public ::testing::TestWithParam<WriterCase> {
protected:
    static void SetUpTestSuite() {
        input_ = new TempDir;
        const std::string in = input_->path();
        ASSERT_EQ(0, RunCommand("cp " + SourceDir() + "/resources/samples/sample.dcx " + in + " && " + CliPath() +
                                " breakup " + in + "/sample.dcx " + in + " sp >/dev/null 2>&1 && " + CliPath() +
                                " tobmp " + in + "/sample.dcx 1 " + in + "/page.bmp >/dev/null 2>&1"));
    }
    static void TearDownTestSuite() {
        delete input_;
        input_ = nullptr;
    }

    // Runs the case in a fresh output folder under the given fault settings; the exit status.
    int RunCase(const std::string& out, const std::string& faults) {
        fs::remove_all(out);
        fs::create_directories(out);
        const std::string in = input_->path();
        std::string args = std::regex_replace(std::regex_replace(GetParam().args, std::regex("IN"), in),
                                              std::regex("OUT"), out);
        std::string prepare = std::regex_replace(GetParam().prepare, std::regex("IN"), in);
        if (!prepare.empty()) {
            EXPECT_EQ(0, RunCommand("cd " + out + " && " + prepare));
        }
        before_ = Snapshot(out);
        fs::remove(hit_);
        return RunCommand("env XDG_RUNTIME_DIR=" + in + " QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=verify_asan_link_order=0"
                          " LD_PRELOAD=" VANTOREL_WRITE_FAULTS " VANTOREL_FAULT_DIR=" + fs::canonical(out).string() +
                          " VANTOREL_FAULT_HIT=" + hit_ + " VANTOREL_FAULT_COUNT=" + count_ + " " + faults + " " +
                          CliPath() + " " + args + " >/dev/null 2>&1");
    }

    static TempDir* input_;
    TempDir scratch_;
    const std::string hit_ = scratch_.File("hit");
    const std::string count_ = scratch_.File("count");
    Files before_;
};

TempDir* WriteFaults::input_ = nullptr;

// Budgets worth trying: every one up to 24, then spread evenly up to `total`.
std::vector<long long> Budgets(long long total) {
    std::vector<long long> n;
    for (long long i = 0; i <= total; i += (i < 24 ? 1 : std::max(1LL, total / 24))) n.push_back(i);
    return n;
}

TEST_P(WriteFaults, EveryFileIsOldOrCompleteAndFailureIsReported) {
    const std::string out = scratch_.File("out");
    ASSERT_EQ(0, RunCase(out, "")) << "the run without faults";
    const Files reference = Snapshot(out);
    long long calls = 0, bytes = 0;
    std::ifstream(count_) >> calls >> bytes;
    ASSERT_GT(calls, 0);
    ASSERT_GT(bytes, 0);

    std::vector<std::string> faults;
    for (long long n : Budgets(calls)) {
        faults.push_back("VANTOREL_FAULT_CALLS=" + std::to_string(n + 1));
        faults.push_back("VANTOREL_FAULT_ONCE=1 VANTOREL_FAULT_CALLS=" + std::to_string(n + 1));
    }
    for (long long n : Budgets(bytes)) faults.push_back("VANTOREL_FAULT_BYTES=" + std::to_string(n));
    std::size_t faulted = 0;
    for (std::size_t i = 0; i < faults.size(); ++i) {
        const std::string setting = faults[i] + (i % 3 == 1 ? " VANTOREL_FAULT_ERRNO=EIO" : "");
        SCOPED_TRACE(setting);
        const int status = RunCase(out, setting);
        const bool hit = Exists(hit_);
        faulted += hit;
        const Files after = Snapshot(out);
        if (status == 0) {
            EXPECT_FALSE(hit) << "a write failed, yet the command reported success";
            for (const auto& [name, bytes] : reference) EXPECT_TRUE(after.count(name) && Same(name, after.at(name), bytes)) << name;
        } else {
            EXPECT_EQ(1, status);
            EXPECT_TRUE(hit) << "failed without a fault";
        }
        for (const auto& [name, bytes] : after) {
            const bool old = before_.count(name) && before_.at(name) == bytes;
            const bool complete = reference.count(name) && Same(name, reference.at(name), bytes);
            EXPECT_TRUE(old || complete) << name << " is neither the file that was there nor a complete output";
        }
        for (const auto& [name, bytes] : before_)
            EXPECT_TRUE(after.count(name) || !reference.count(name)) << name << " was lost";
    }
    EXPECT_GT(faulted, faults.size() / 2) << "the faults did not reach the output folder";
}

INSTANTIATE_TEST_SUITE_P(Cli, WriteFaults, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
