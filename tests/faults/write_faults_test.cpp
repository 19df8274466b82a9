// Every writer on a disk that fills up or fails, and killed in the middle of its work.
// Under the preload library every write, sync, close and rename in the output folder fails
// from the N-th byte or call on. Whatever N, each file is afterwards either as it was before
// or as a run without faults leaves it, nothing else is left behind, and the exit status is 1
// (or 0 with the complete result). The writers are tarvex-cli's commands and the window's own
// (through fault_driver).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <random>
#include <regex>
#include <string>
#include <thread>
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

bool Same(const std::string& name, const Bytes& a, const Bytes& b) {
    return name.ends_with(".pdf") ? Comparable(name, a) == Comparable(name, b) : a == b;
}

struct WriterCase {
    const char* name;
    // The command line; $CLI, $DRIVER (the window's writers, see fault_driver.cpp) and
    // $EDITOR (a stand-in paint program) name programs, $IN and $OUT the input and output folders.
    const char* args;
    const char* prepare;  // shell commands run in $OUT first (files the user already has); may be ""
    int budgets = 24;     // fault positions tried of each kind (fewer for the slow writers)
};

#define PAGES "cp $IN/sp0001.pcx fpa0001.pcx && cp $IN/sp0003.pcx fpa0002.pcx"
const WriterCase kWriters[] = {
    {"breakup", "$CLI --yes breakup $IN/sample.dcx $OUT sp", "cp $IN/sp0003.pcx sp0002.pcx"},
    {"build", "$CLI --yes build $OUT/fax.dcx $IN/sp0001.pcx $IN/sp0003.pcx", "cp $IN/sample.dcx fax.dcx"},
    {"longfax", "$CLI --yes longfax $IN/sample.dcx $OUT/long.dcx", "cp $IN/sp0001.pcx long.dcx"},
    {"export", "$CLI --yes export $IN/sample.dcx $OUT/fax.tif $OUT/fax.pdf", "echo old >fax.pdf"},
    {"exportover", "$CLI --yes export $IN/sample.dcx $OUT/fax.tif $OUT/fax.pdf", "echo old >fax.pdf && echo old >fax.tif", 6},
    {"batch", "$CLI export --to-dir $OUT/to --jobs 2 $IN/sample.dcx $IN/sp0002.pcx", "mkdir to && echo keep >to/keep.txt"},
    {"replace", "$CLI replace $OUT/fax.dcx 2 $IN/sp0001.pcx", "cp $IN/sample.dcx fax.dcx"},
    {"frombmp", "$CLI --yes frombmp $IN/page.bmp $OUT/page.pcx", "cp $IN/sp0002.pcx page.pcx"},
    {"tobmp", "$CLI --yes tobmp $IN/sample.dcx 3 $OUT/page.bmp", ""},
    {"print", "$CLI print $IN/sample.dcx $OUT --dpi 100 --printable 800x1000", "echo keep >keep.txt"},
    {"render", "$CLI --yes render $IN/sample.dcx 2 $OUT/page.png --zoom 50", "echo keep >keep.txt"},
    {"pbm", "$CLI --yes pbm $IN/sample.dcx 1 $OUT/page.pbm", "echo keep >keep.txt"},
    {"accumsave", "$DRIVER accum-save $OUT/a $IN/sample.dcx", "mkdir a && cd a && cp $IN/sp0002.pcx fpa0001.pcx"},
    {"accumconvert", "$DRIVER accum-convert $OUT/a $OUT/fax", "mkdir a fax && cd a && " PAGES},
    {"copy", "$DRIVER copy $IN/sample.dcx $OUT/fax.dcx", "cp $IN/sp0001.pcx fax.dcx"},
    {"moveas", "$DRIVER move $OUT/from/sample.dcx $OUT/fax.dcx", "mkdir from && cp $IN/sample.dcx from && cp $IN/sp0001.pcx fax.dcx"},
    {"zoomeditdcx", "$DRIVER zoomedit $OUT/fax.dcx 2 '$EDITOR --rect 8 8 300 200'", "cp $IN/sample.dcx fax.dcx", 8},
    {"zoomeditpcx", "$DRIVER zoomedit $OUT/page.pcx 1 '$EDITOR --rect 8 8 300 200'", "cp $IN/sp0002.pcx page.pcx", 8},
    {"settings", "$DRIVER setting $OUT DftFax /home/fax/new.dcx",
     "mkdir -p Quorvane/Applications && printf '[Configure]\\nPaintProgram=kolourpaint\\n' >Quorvane/Applications/Tarvex.conf"},
    {"payload", "$DRIVER payload $OUT/Tarvex $IN/sp0001.pcx", "mkdir -p Tarvex/Fax && cp $IN/sp0001.pcx Tarvex/Fax/mine.pcx && echo old >Tarvex/README.TXT", 8},
};
#undef PAGES

// The inputs every case reads, made once per test program.
const std::string& Inputs() {
    static TempDir dir;
    static const int made = RunCommand("cd " + dir.path() + " && cp " + SourceDir() + "/resources/samples/sample.dcx . && " +
                                       CliPath() + " breakup sample.dcx . sp >/dev/null 2>&1 && " + CliPath() +
                                       " tobmp sample.dcx 1 page.bmp >/dev/null 2>&1");
    EXPECT_EQ(0, made) << "the inputs could not be made";
    return dir.path();
}

// A folder on another file system than the output folders ("" when there is none).
const std::string& OtherFileSystem() {
    static const struct Folder {
        std::string path = "/dev/shm/vantorel-faults-" + std::to_string(::getpid());
        Folder() {
            std::error_code ec;
            if (!fs::create_directories(path, ec)) path.clear();
        }
        ~Folder() {
            std::error_code ec;
            if (!path.empty()) fs::remove_all(path, ec);
        }
    } folder;
    return folder.path;
}

// The case's text with its names filled in.
std::string Expand(std::string text, const std::string& out) {
    const std::pair<const char*, std::string> names[] = {{"$CLI", CliPath()},      {"$DRIVER", VANTOREL_FAULT_DRIVER},
                                                         {"$EDITOR", VANTOREL_STAND_IN}, {"$IN", Inputs()},
                                                         {"$OUT", out},           {"$SHM", OtherFileSystem()}};
    for (const auto& [name, value] : names)
        for (std::size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, std::strlen(name), value);
    return text;
}

// Makes `out` afresh with the files the user already has.
void Prepare(const std::string& out, const char* prepare) {
    fs::remove_all(out);
    fs::create_directories(out);
    if (*prepare) {
        EXPECT_EQ(0, RunCommand("cd " + out + " && " + Expand(prepare, out)));
    }
}

// The command line of a case under the preload library, faults limited to `out`.
std::string UnderFaults(const std::string& out, const std::string& settings, const char* args) {
    return "env XDG_RUNTIME_DIR=" + Inputs() + " QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=$ASAN_OPTIONS:verify_asan_link_order=0"
           " LD_PRELOAD=" VANTOREL_WRITE_FAULTS " VANTOREL_FAULT_DIR=" + fs::canonical(out).string() + " " + settings +
           " " + Expand(args, out) + " >/dev/null 2>&1";
}

bool NeedsMissingDriver(const char* args) {
    return std::string(VANTOREL_FAULT_DRIVER).empty() && std::strstr(args, "$DRIVER");
}

class WriteFaults : public ::testing::TestWithParam<WriterCase> {
protected:
    // Runs the case in a fresh output folder under the given fault settings; the exit status.
    int RunCase(const std::string& out, const std::string& faults) {
        Prepare(out, GetParam().prepare);
        before_ = Snapshot(out);
        fs::remove(hit_);
        fs::remove(count_);
        return RunCommand(UnderFaults(out, "VANTOREL_FAULT_HIT=" + hit_ + " VANTOREL_FAULT_COUNT=" + count_ + " " + faults,
                                      GetParam().args));
    }

    TempDir scratch_;
    const std::string hit_ = scratch_.File("hit");
    const std::string count_ = scratch_.File("count");
    Files before_;
};

// The page data of a DCX, read from its table (magic 987,654,321, then offsets up to a zero).
std::vector<Bytes> DcxPages(const Bytes& file) {
    auto le32 = [&](std::size_t at) {
        return at + 4 > file.size() ? 0u : file[at] | file[at + 1] << 8 | file[at + 2] << 16 | unsigned(file[at + 3]) << 24;
    };
    std::vector<std::uint32_t> offsets;
    if (le32(0) != 987654321u) return {};
    for (std::size_t slot = 1; slot <= 1024 && le32(4 * slot) != 0; ++slot) offsets.push_back(le32(4 * slot));
    std::vector<Bytes> pages;
    for (std::size_t i = 0; i < offsets.size(); ++i) {
        const std::size_t end = i + 1 < offsets.size() ? offsets[i + 1] : file.size();
        if (offsets[i] > end || end > file.size()) return {};
        pages.emplace_back(file.begin() + offsets[i], file.begin() + end);
    }
    return pages;
}

// True when `kept` is a DCX holding the first pages of `complete`, each whole, but not all.
bool FirstPagesOf(const Bytes& kept, const Bytes& complete) {
    const auto some = DcxPages(kept), all = DcxPages(complete);
    return !some.empty() && some.size() < all.size() && std::equal(some.begin(), some.end(), all.begin());
}

// Under the sanitizers each process starts several times slower: a third of the fault
// positions, spread the same way, still reach every kind of failure. (The kills stay as
// many: a kill landing mid-write is a matter of chance.)
#if defined(__SANITIZE_ADDRESS__)
constexpr int kShare = 3;
#else
constexpr int kShare = 1;
#endif

// Budgets worth trying: every one up to `count`, then `count` more spread evenly up to `total`.
std::vector<long long> Budgets(long long total, int count) {
    std::vector<long long> n;
    for (long long i = 0; i <= total; i += (i < count ? 1 : std::max(1LL, total / count))) n.push_back(i);
    return n;
}

TEST_P(WriteFaults, EveryFileIsOldOrCompleteAndFailureIsReported) {
    if (NeedsMissingDriver(GetParam().args)) GTEST_SKIP() << "the window's writers are not built here";
    const std::string out = scratch_.File("out");
    ASSERT_EQ(0, RunCase(out, "")) << "the run without faults";
    const Files reference = Snapshot(out);
    // The busiest process's counts (a batch export writes from forked workers).
    long long calls = 0, bytes = 0;
    std::ifstream counts(count_);
    for (long long c, b; counts >> c >> b;) calls = std::max(calls, c), bytes = std::max(bytes, b);
    ASSERT_GT(calls, 0);

    std::vector<std::string> faults;
    for (long long n : Budgets(calls, GetParam().budgets / kShare)) {
        faults.push_back("VANTOREL_FAULT_CALLS=" + std::to_string(n + 1));
        faults.push_back("VANTOREL_FAULT_ONCE=1 VANTOREL_FAULT_CALLS=" + std::to_string(n + 1));
    }
    for (long long n : bytes > 0 ? Budgets(bytes, GetParam().budgets / kShare) : std::vector<long long>{}) faults.push_back("VANTOREL_FAULT_BYTES=" + std::to_string(n));
    // And then the syncs failing from the first or second on, wherever they fall among the
    // writes (some come from a second thread); writers that sync nothing are not hit by these.
    const std::size_t anyCall = faults.size();
    for (int n : {1, 2}) faults.push_back("VANTOREL_FAULT_ONLY=sync VANTOREL_FAULT_CALLS=" + std::to_string(n));
    std::size_t faulted = 0;
    for (std::size_t i = 0; i < faults.size(); ++i) {
        const std::string setting = faults[i] + (i % 3 == 1 ? " VANTOREL_FAULT_ERRNO=EIO" : "");
        SCOPED_TRACE(setting);
        const int status = RunCase(out, setting);
        const bool hit = Exists(hit_);
        faulted += hit && i < anyCall;
        const Files after = Snapshot(out);
        // A failed sync or close of a file that was written can lose what it held, whatever
        // a read-back shows now: no recovery, the command reports it and the old files stay.
        const Bytes kind = hit ? ReadBytes(hit_) : Bytes{};
        const bool lost = kind == Bytes{'s', 'y', 'n', 'c'} || kind == Bytes{'c', 'l', 'o', 's', 'e'};
        if (lost) {
            EXPECT_EQ(1, status) << "a failed sync or close was taken as success";
            // Nothing the user had is replaced after it (a file renamed into place changes its ctime).
            struct stat fault {}, file {};
            ASSERT_EQ(::stat(hit_.c_str(), &fault), 0);
            for (const auto& [name, bytes] : before_) {
                if (after.count(name) && after.at(name) != bytes && ::stat((out + "/" + name).c_str(), &file) == 0) {
                    EXPECT_LE(std::pair(file.st_ctim.tv_sec, file.st_ctim.tv_nsec), std::pair(fault.st_mtim.tv_sec, fault.st_mtim.tv_nsec))
                        << name << " was replaced after a sync or close failed";
                }
            }
        } else if (status == 0) {
            // Success after another fault is fine when the program recovered: the outputs are complete.
            for (const auto& [name, bytes] : reference) EXPECT_TRUE(after.count(name) && Same(name, after.at(name), bytes)) << name;
        } else {
            EXPECT_EQ(1, status);
            EXPECT_TRUE(hit) << "failed without a fault";
        }
        for (const auto& [name, bytes] : after) {
            const bool old = before_.count(name) && before_.at(name) == bytes;
            const bool complete = reference.count(name) && Same(name, reference.at(name), bytes);
            // A fax that could not be finished keeps the pages written before the failure,
            // under a name that was free, and says so.
            const bool firstPages = status != 0 && !before_.count(name) && reference.count(name) &&
                                    FirstPagesOf(bytes, reference.at(name));
            EXPECT_TRUE(old || complete || firstPages) << name << " is neither the file that was there nor a complete output";
        }
        // A failure keeps every file; a success may have moved one away (MoveAs, Convert).
        for (const auto& [name, bytes] : before_)
            EXPECT_TRUE(after.count(name) || (status == 0 && !reference.count(name))) << name << " was lost";
    }
    EXPECT_GE(faulted, anyCall / 2) << "the faults did not reach the output folder";
}

INSTANTIATE_TEST_SUITE_P(Cli, WriteFaults, ::testing::ValuesIn(kWriters),
                         [](const auto& info) { return std::string(info.param.name); });


// Killed at any moment: a writer that replaces the user's file leaves it either as it was or
// as a complete run leaves it, never anything in between. Each writer runs on a slow disk
// (every write, sync, close and rename in the folder waits a little first) and is killed
// with SIGKILL at random moments of such a run, many times.
struct KillCase {
    const char* name;
    const char* args;
    const char* prepare;
    int kills;
};

const KillCase kKills[] = {
    {"replace", "$CLI replace $OUT/fax.dcx 2 $IN/sp0001.pcx", "cp $IN/sample.dcx fax.dcx", 40},
    {"copy", "$DRIVER copy $IN/sample.dcx $OUT/fax.dcx", "cp $IN/sp0001.pcx fax.dcx", 40},
    {"moveas", "$DRIVER move $SHM/sample.dcx $OUT/fax.dcx", "cp $IN/sample.dcx $SHM/ && cp $IN/sp0001.pcx fax.dcx", 40},
    {"zoomedit", "$DRIVER zoomedit $OUT/fax.dcx 2 '$EDITOR --rect 8 8 300 200'", "cp $IN/sample.dcx fax.dcx", 16},
};

class KilledMidWrite : public ::testing::TestWithParam<KillCase> {};

// Starts `command` in a process group of its own; kills the group after `delay`, counted from
// when `mark` appears if one is named (never when negative). The run's wall time.
std::chrono::steady_clock::duration RunAndKill(const std::string& command, std::chrono::microseconds delay, const std::string& mark = {}) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    if (delay.count() >= 0) {
        while (!mark.empty() && !Exists(mark) && ::waitpid(pid, nullptr, WNOHANG) == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::this_thread::sleep_for(delay);
        ::kill(-pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ::kill(-pid, SIGKILL);  // a paint program left behind by a killed Zoom/Edit
    return std::chrono::steady_clock::now() - start;
}

TEST_P(KilledMidWrite, TheFaxIsAlwaysTheOldOrTheNewOne) {
    const KillCase& c = GetParam();
    if (NeedsMissingDriver(c.args)) GTEST_SKIP() << "the window's writers are not built here";
    TempDir scratch;
    const std::string out = scratch.File("out"), fax = out + "/fax.dcx", mark = scratch.File("mark");
    Prepare(out, c.prepare);
    const Bytes old = ReadBytes(fax);
    // A run without a kill: its length, and when its writing in the folder began.
    const auto started = fs::file_time_type::clock::now();
    const auto whole = RunAndKill(UnderFaults(out, "VANTOREL_FAULT_SLOW=3000 VANTOREL_FAULT_MARK=" + mark, c.args),
                                  std::chrono::microseconds(-1));
    const Bytes fresh = ReadBytes(fax);
    ASSERT_NE(old, fresh) << "the run without a kill changed nothing";
    ASSERT_TRUE(Exists(mark));
    const long long span = std::chrono::duration_cast<std::chrono::microseconds>(whole).count();
    const long long onset = std::clamp<long long>(
        std::chrono::duration_cast<std::chrono::microseconds>(fs::last_write_time(mark) - started).count(), 0, span);

    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const std::string command = UnderFaults(out, "VANTOREL_FAULT_SLOW=3000 VANTOREL_FAULT_MARK=" + mark, c.args);
    int asBefore = 0, asAfter = 0, midWrite = 0, kills = 0;
    // Runs vary in length; should no kill have landed mid-write, a few more are tried.
    for (int i = 0; i < c.kills || (midWrite == 0 && i < 3 * c.kills); ++i, ++kills) {
        Prepare(out, c.prepare);
        fs::remove(mark);
        // Every other kill lands while the folder is being written, counted from that run's first
        // call there: a run can go faster or slower than the measured one before it writes.
        const std::chrono::microseconds delay(std::uniform_int_distribution<long long>(0, i % 2 ? span - onset : span)(random));
        RunAndKill(command, delay, i % 2 ? mark : std::string());
        const Bytes now = ReadBytes(fax);
        EXPECT_TRUE(now == old || now == fresh) << "killed after " << delay.count() << " us of " << span;
        asBefore += now == old;
        asAfter += now == fresh;
        // The file being written beside the fax is left behind by a kill in the middle of it.
        midWrite += std::distance(fs::directory_iterator(out), fs::directory_iterator()) > 1;
        // A move never loses the fax: it is at its new name or still at its old one.
        if (std::strstr(c.args, "move")) {
            EXPECT_TRUE(now == fresh || Exists(OtherFileSystem() + "/sample.dcx"));
        }
    }
    EXPECT_GT(midWrite, 0) << "no kill landed while the new fax was being written";
    std::cout << c.name << ": " << kills << " kills in a run of " << span << " us, writing from " << onset
              << " us: " << midWrite << " mid-write; " << asBefore << " old, " << asAfter << " new\n";
}

INSTANTIATE_TEST_SUITE_P(Writers, KilledMidWrite, ::testing::ValuesIn(kKills),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
