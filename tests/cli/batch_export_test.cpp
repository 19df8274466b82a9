// tarvex-cli export --to-dir: a tree of good, damaged and non-fax files; outputs read back by
// libtiff and poppler; the log, the exit status, and a second run replacing the outputs.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "export/export_test_util.h"
#include "support/test_files.h"

namespace {

using namespace testing_support;
namespace fs = std::filesystem;

std::string Q(const std::string& s) { return "'" + s + "'"; }

// Every file below `root`, relative, sorted.
std::vector<std::string> Listing(const std::string& root) {
    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (!e.is_directory()) files.push_back(fs::relative(e.path(), root).string());
    std::sort(files.begin(), files.end());
    return files;
}

int PdfPages(const std::string& path) {
    std::string info;
    if (RunCommand("pdfinfo " + Q(path), &info) != 0) return -1;
    auto at = info.find("Pages:");
    return at == std::string::npos ? -1 : std::atoi(info.c_str() + at + 6);
}

ino_t Inode(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// The standard output of a shell command.
std::string Output(const std::string& command) { std::string out; RunCommand(command, &out); return out; }

// A private single-node Slurm: munged, slurmctld and slurmd of the test's own, run by whoever
// runs the test (root in CI), with their key, configuration, state and spare ports in a
// temporary folder. Three CPUs on any machine, so that three tasks run side by side.
const char* const kStartSlurm = R"(head -c 128 /dev/urandom >munge.key && chmod 600 munge.key &&
/usr/sbin/munged --socket=$PWD/munge.socket --key-file=$PWD/munge.key --pid-file=$PWD/munged.pid \
  --log-file=$PWD/munged.log --seed-file=$PWD/munged.seed && mkdir state spool || exit 1
tr ' ' '\n' >slurm.conf <<EOF
ClusterName=vantorel SlurmctldHost=localhost SlurmctldPort=$CTLD SlurmdPort=$NODE SlurmUser=$(id -un) SlurmdUser=$(id -un)
AuthType=auth/munge CredType=cred/munge AuthInfo=socket=$PWD/munge.socket StateSaveLocation=$PWD/state
SlurmdSpoolDir=$PWD/spool SlurmctldPidFile=$PWD/slurmctld.pid SlurmdPidFile=$PWD/slurmd.pid
SlurmctldLogFile=$PWD/slurmctld.log SlurmdLogFile=$PWD/slurmd.log ProctrackType=proctrack/linuxproc TaskPlugin=task/none
SelectType=select/cons_tres SelectTypeParameters=CR_CPU SchedulerType=sched/builtin MpiDefault=none
JobAcctGatherType=jobacct_gather/none SlurmdParameters=config_overrides
EOF
echo "NodeName=localhost NodeAddr=127.0.0.1 CPUs=3
PartitionName=debug Nodes=localhost Default=YES MaxTime=INFINITE State=UP" >>slurm.conf
/usr/sbin/slurmctld -c -i && /usr/sbin/slurmd -N localhost)";
// Every daemon with a pid file is stopped and waited for (5 s, then killed).
const char* const kStopSlurm = R"(alive() { s=$(ps -o stat= -p $1) && [ "${s#Z}" = "$s" ]; }
for f in slurmd slurmctld munged; do p=$(cat $f.pid 2>/dev/null) || continue; kill $p
  for i in $(seq 50); do alive $p || break; sleep 0.1; done; ! alive $p || kill -9 $p; done)";

struct Slurm {
    std::string Start() {  // empty when it runs, else why not (a program missing, one that failed)
        const std::string ports = "CTLD=" + std::to_string(SparePort()) + " NODE=" + std::to_string(SparePort()) + "\n";
        ::chmod(dir.path().c_str(), 0755);  // munged wants its socket's folder open to all
        if (Run(ports + kStartSlurm) != 0) return "the daemons did not start: " + out + Log();
        for (int i = 0; i < 100; ++i, ::usleep(100000))
            if (Run("sinfo -h -o %t") == 0 && out == "idle\n") return {};
        return "the node did not come up (" + out + "):\n" + Log();
    }
    ~Slurm() { Run(kStopSlurm); }
    int Run(const std::string& commands) {  // in its folder, with its configuration; output in `out`
        out.clear();
        return RunCommand("cd " + Q(dir.path()) + " && export SLURM_CONF=$PWD/slurm.conf && {\n" + commands +
                              "\n} </dev/null 2>&1", &out);
    }
    std::string Log() { return Run("tail -n 20 *.log"), out; }
    TempDir dir;
    std::string out;
};

class BatchExport : public testing::Test {
protected:
    void SetUp() override {
        if (RunCommand("command -v pdfinfo >/dev/null") != 0) GTEST_SKIP() << "poppler's pdfinfo is not installed";
        pages = {PatternPage(216, 400, 1), PatternPage(216, 90, 2), PatternPage(216, 120, 3)};
        fs::create_directories(Src("sub/deep"));
        fs::create_directories(Src("damaged"));
        WriteBytes(Src("good.dcx"), MakeDcx({MakePcx(pages[0], 216), MakePcx(pages[1], 216)}));
        WriteBytes(Src("sub/deep/one.pcx"), MakePcx(pages[2], 216));
        WriteBytes(Src("sub/UPPER.DCX"), MakeDcx({MakePcx(pages[1], 216)}));
        WriteBytes(Src("sub/a.dcx"), MakeDcx({MakePcx(pages[2], 216)}));
        WriteBytes(Src("sub/a.pcx"), MakePcx(pages[0], 216));  // same outputs as a.dcx
        Bytes cut = MakeDcx({MakePcx(pages[0], 216), MakePcx(pages[1], 216)});
        cut.resize(cut.size() - MakePcx(pages[1], 216).size() + 60);  // page 2 shorter than its header
        WriteBytes(Src("damaged/cut.dcx"), cut);
        WriteBytes(Src("damaged/text.pcx"), Bytes(50, 'x'));
        WriteBytes(Src("notes.txt"), Bytes(300, 'n'));
        WriteBytes(Src("sub/picture.png"), Bytes(300, 0x89));
    }
    std::string Src(const std::string& rel) const { return dir.File("src/" + rel); }
    std::string Out(const std::string& rel) const { return dir.File("out/" + rel); }
    int Export(const std::string& args, std::string& out, std::string& err) {
        const std::string errFile = dir.File("stderr.txt");
        int rc = RunCommand(Q(CliPath()) + " export " + args + " 2>" + Q(errFile), &out);
        Bytes e = ReadBytes(errFile);
        err.assign(e.begin(), e.end());
        return rc;
    }
    TempDir dir;
    std::vector<Bytes> pages;
};

TEST_F(BatchExport, ConvertsTheTreeReportsFailuresAndReplacesOutputsOnASecondRun) {
    const std::vector<std::string> sources = Listing(dir.File("src"));
    std::string out, err;
    ASSERT_EQ(Export("--to-dir " + Q(dir.File("out")) + " --recursive --jobs 2 " + Q(dir.File("src")), out, err), 1)
        << out << err;

    EXPECT_EQ(Listing(dir.File("out")),
              (std::vector<std::string>{"good.pdf", "good.tif", "sub/UPPER.pdf", "sub/UPPER.tif", "sub/a.pdf",
                                        "sub/a.tif", "sub/deep/one.pdf", "sub/deep/one.tif"}));
    EXPECT_EQ(Listing(dir.File("src")), sources) << "nothing may be written beside the sources";
    struct Output {
        const char* name;
        std::vector<int> pages;  // indexes into pages
    };
    for (Output o : {Output{"good", {0, 1}}, Output{"sub/UPPER", {1}}, Output{"sub/a", {2}}, Output{"sub/deep/one", {2}}}) {
        SCOPED_TRACE(o.name);
        bool ok = false;
        auto decoded = exporttest::DecodeTiff(Out(std::string(o.name) + ".tif"), ok);
        ASSERT_TRUE(ok);
        ASSERT_EQ(decoded.size(), o.pages.size());
        for (std::size_t k = 0; k < o.pages.size(); ++k)
            EXPECT_TRUE(decoded[k].rows == exporttest::AsTiffRows(pages[std::size_t(o.pages[k])], 216)) << "page " << k;
        EXPECT_EQ(PdfPages(Out(std::string(o.name) + ".pdf")), int(o.pages.size()));
    }
    for (const char* line : {"failed %/damaged/cut.dcx: Dcx-Pcx to TIF and PDF failed with error[2023]: page 2 has no complete header",
                             "failed %/damaged/text.pcx: Is not a DCX or PCX fax file: it holds fewer than 128 bytes.\n",
                             "failed %/sub/a.pcx: Its copies would replace those of %/sub/a.dcx\n"}) {
        std::string want = line;
        for (std::size_t at; (at = want.find('%')) != std::string::npos;) want.replace(at, 1, dir.File("src"));
        EXPECT_NE(err.find(want), std::string::npos) << want << "\nin:\n" << err;
    }
    EXPECT_NE(out.find("converted " + Src("sub/deep/one.pcx") + " -> " + Out("sub/deep/one.tif ") + Out("sub/deep/one.pdf\n")),
              std::string::npos) << out;
    EXPECT_NE(out.find("7 faxes, 9 pages: 4 converted, 0 skipped, 3 failed in "), std::string::npos) << out;

    // Second run: a changed fax is converted again, its outputs replaced by new files.
    const Bytes oneTif = ReadBytes(Out("sub/deep/one.tif"));
    const ino_t oldInode = Inode(Out("good.pdf"));
    WriteBytes(Src("good.dcx"), MakeDcx({MakePcx(pages[2], 216), MakePcx(pages[1], 216), MakePcx(pages[0], 216)}));
    ASSERT_EQ(Export("--recursive --to-dir " + Q(dir.File("out")) + " --jobs 1 " + Q(dir.File("src")), out, err), 1);
    EXPECT_EQ(PdfPages(Out("good.pdf")), 3);
    bool ok = false;
    EXPECT_EQ(exporttest::DecodeTiff(Out("good.tif"), ok).size(), 3u);
    EXPECT_NE(Inode(Out("good.pdf")), oldInode) << "replaced by renaming a new file over it";
    EXPECT_EQ(ReadBytes(Out("sub/deep/one.tif")), oneTif) << "the same fax gives the same TIFF";
    EXPECT_EQ(Listing(dir.File("out")).size(), 8u) << "no temporary files are left";

    // A worker killed by a signal (a file larger than `ulimit -f` allows) is a failed fax.
    EXPECT_EQ(RunCommand("ulimit -f 1 && " + Q(CliPath()) + " export --to-dir " + Q(dir.File("small")) + " " +
                             Q(Src("good.dcx")) + " 2>&1", &out), 1);
    EXPECT_NE(out.find("failed " + Src("good.dcx") + ": The conversion stopped with signal 25."), std::string::npos) << out;
    EXPECT_NE(out.find("1 fax, 3 pages: 0 converted, 0 skipped, 1 failed in "), std::string::npos) << out;
}

TEST_F(BatchExport, NamedFilesFoldersWithoutRecursionAndPdfOnly) {
    std::string out, err;
    EXPECT_EQ(Export("--pdf-only --to-dir " + Q(dir.File("out")) + " " + Q(dir.File("src")) + " " +
                         Q(Src("sub/deep/one.pcx")),
                     out, err),
              0)
        << err;
    EXPECT_EQ(Listing(dir.File("out")), (std::vector<std::string>{"good.pdf", "one.pdf"}));
    ASSERT_EQ(::mkfifo(Src("pipe.dcx").c_str(), 0600), 0);
    EXPECT_EQ(Export("--to-dir " + Q(dir.File("out2")) + " " + Q(Src("missing.dcx")) + " " + Q(Src("pipe.dcx")) + " " +
                         Q(Src("good.dcx")),
                     out, err),
              1);
    // A FIFO is refused at once as not a fax file.
    EXPECT_NE(err.find("failed " + Src("missing.dcx") + ": Can not be accessed: No such file or directory."), std::string::npos)
        << err;
    EXPECT_NE(err.find("failed " + Src("pipe.dcx") + ": Is not a DCX or PCX fax file: it is a FIFO or device"),
              std::string::npos)
        << err;
    EXPECT_TRUE(Exists(dir.File("out2/good.pdf")));

    // A fax whose name ends like its own copy, exported into its own folder, is refused untouched.
    const Bytes fax = MakePcx(pages[2], 216);
    WriteBytes(Src("scan.pcx.pdf"), fax);
    EXPECT_EQ(Export("--to-dir " + Q(dir.File("src")) + " " + Q(Src("scan.pcx.pdf")), out, err), 1);
    EXPECT_NE(err.find("failed " + Src("scan.pcx.pdf") + ": Its copy would replace the fax itself."), std::string::npos)
        << err;
    EXPECT_EQ(ReadBytes(Src("scan.pcx.pdf")), fax);
}

TEST_F(BatchExport, ProgressLineOnATerminal) {
    if (RunCommand("command -v script >/dev/null") != 0) GTEST_SKIP() << "script (util-linux) is not installed";
    std::string out;
    ASSERT_EQ(RunCommand("script -qec " +
                             Q(CliPath() + " export --to-dir " + dir.File("out") + " " + Src("good.dcx") + " " +
                               Src("sub/deep/one.pcx")) +
                             " /dev/null",
                         &out),
              0)
        << out;
    EXPECT_NE(out.find("\r\033[Kpages 3/3, faxes 2/2, 0 failed, 0:00 left"), std::string::npos) << out;
    EXPECT_EQ(out.find("converted "), std::string::npos) << "no log lines on a terminal";
}

TEST_F(BatchExport, InterruptionLeavesOnlyCompleteOutputs) {
    // Enough work that the interrupt comes while workers are writing: once the first temporary
    // output shows, however long the program takes to start.
    std::vector<Bytes> letters(20, MakePcx(PatternPage(216, 2200, 5), 216));
    const Bytes fax = MakeDcx(letters);
    fs::create_directories(dir.File("many"));
    for (int i = 0; i < 8; ++i) WriteBytes(dir.File("many/f" + std::to_string(i) + ".dcx"), fax);
    const std::string err = dir.File("err.txt");
    int rc = RunCommand("sh -c " + Q(Q(CliPath()) + " export --to-dir " + Q(dir.File("out")) + " --jobs 2 " +
                                     Q(dir.File("many")) + " >/dev/null 2>" + Q(err) +
                                     " & p=$!; for i in $(seq 200); do [ -n \"$(find " + Q(dir.File("out")) +
                                     " -name \"*.part\")\" ] && break; sleep 0.05; done; kill -INT $p; wait $p"));
    EXPECT_EQ(rc, 1);
    Bytes e = ReadBytes(err);
    EXPECT_NE(std::string(e.begin(), e.end()).find("Stopped: "), std::string::npos);
    for (const std::string& f : Listing(dir.File("out"))) {
        SCOPED_TRACE(f);
        ASSERT_TRUE(fs::path(f).extension() == ".tif" || fs::path(f).extension() == ".pdf") << "a temporary file is left";
        if (fs::path(f).extension() == ".pdf") {
            EXPECT_EQ(PdfPages(Out(f)), 20);
        }
    }
}

// Three shards take every fax once, the one its path below the named folder gives (its CRC-32
// as gzip computes it, modulo 3, plus 1). Each shard's summary names its faxes in JSON that jq
// reads back whatever bytes the names hold (a byte that is not UTF-8 jq reads as U+FFFD).
TEST_F(BatchExport, ThreeShardsTakeEveryFaxOnceAndSayWhatTheyDid) {
    const std::string odd = "sub/q\"b\\s\nn\tl\x01\xc3\xa9\xff.pcx";
    WriteBytes(Src(odd), MakePcx(pages[0], 216));
    std::string want[4];  // jq's reading of each shard's summary, faxes in the order of their names
    for (std::string f : {"damaged/cut.dcx", "damaged/text.pcx", "good.dcx", "sub/UPPER.DCX", "sub/a.dcx", "sub/a.pcx",
                          "sub/deep/one.pcx", odd.c_str()}) {
        const bool fails = f.starts_with("damaged") || f == "sub/a.pcx";
        const unsigned k = crc32(0, reinterpret_cast<const Bytef*>(f.data()), unsigned(f.size())) % 3 + 1;
        if (f == odd) f.replace(f.size() - 5, 1, "\xef\xbf\xbd");
        want[k] += Src(f) + (fails ? " 0 true" : " 2 false") + " false\n";
    }
    for (int k = 1; k <= 3; ++k) {
        const std::string summary = dir.File("s" + std::to_string(k) + ".jsonl");
        const std::string jq = " '\"\\(.fax) \\(.outputs | length) \\(.error != null) \\(.skipped)\"' ";
        std::string out, err;
        EXPECT_EQ(Export("--to-dir " + Q(dir.File("out")) + " --recursive --jobs 1 --shard " + std::to_string(k) +
                             "/3 --summary " + Q(summary) + " " + Q(dir.File("src")), out, err),
                  want[k].find("true") == std::string::npos ? 0 : 1);
        EXPECT_EQ(Output("jq -r" + jq + Q(summary)), want[k]) << k;
    }
    EXPECT_EQ(Listing(dir.File("out")).size(), 10u) << "five faxes converted, nothing else left";
}

// A shard killed (SIGKILL to all its processes) once it has finished a fax, and started again:
// what was finished stays untouched, the rest is made whole, nothing partial is left. Then an
// output cut short, older than its fax or missing is made again, and --force makes all again.
TEST_F(BatchExport, AKilledShardStartedAgainMakesOnlyWhatIsMissing) {
    fs::create_directories(dir.File("big"));
    const Bytes fax = MakeDcx(std::vector<Bytes>(3, MakePcx(PatternPage(216, 600, 5), 216)));
    for (char c = 'a'; c < 'g'; ++c) WriteBytes(dir.File("big/") + c + ".dcx", fax);
    const std::string summary = dir.File("s.jsonl"), run = Q(CliPath()) + " export --to-dir " + Q(dir.File("out")) +
                                " --jobs 2 --shard 1/1 --summary " + Q(summary) + " " + Q(dir.File("big"));
    RunCommand("setsid -w sh -c \"" + run + " >/dev/null 2>&1 & until [ -s " + summary +
               " ] || [ \\$((i+=1)) -gt 3000 ]; do sleep 0.01; done; kill -KILL 0\" 2>/dev/null");  // 30 s at most
    std::string finished;  // both outputs in place (the kill may come before the summary says so)
    std::map<std::string, std::pair<ino_t, long>> kept;
    for (char c = 'a'; c < 'g'; ++c)
        if (const std::string o = Out(std::string(1, c)); Exists(o + ".tif") && Exists(o + ".pdf")) {
            finished += dir.File("big/") + c + ".dcx\n";
            for (const std::string& f : {o + ".tif", o + ".pdf"})
                kept[f] = {Inode(f), fs::last_write_time(f).time_since_epoch().count()};
        }
    ASSERT_GE(kept.size(), 2u);
    ASSERT_LT(kept.size(), 12u) << "killed mid-run";
    const std::string jq = " | jq -r 'select(.skipped == ", check = "cd " + Q(dir.File("out")) + " && for f in *.tif; do "
        "tiffinfo $f | grep -c 'TIFF Directory'; done; for f in *.pdf; do qpdf --check $f >/dev/null; echo $?; done";

    EXPECT_EQ(RunCommand(run + " >/dev/null"), 0);
    EXPECT_EQ(Output("cat " + Q(summary) + jq + "true) | .fax' | sort"), finished) << "skipped, as finished";
    for (const auto& [f, id] : kept)
        EXPECT_EQ(id, std::make_pair(Inode(f), fs::last_write_time(f).time_since_epoch().count())) << f;
    EXPECT_EQ(Output(check), "3\n3\n3\n3\n3\n3\n0\n0\n0\n0\n0\n0\n") << "six whole TIFFs of 3 pages, six good PDFs";
    EXPECT_EQ(Listing(dir.File("out")).size(), 12u) << "no temporary file is left";

    RunCommand("cd " + Q(dir.path()) + " && truncate -s -2 out/a.pdf && truncate -s 3000 out/b.tif && touch big/c.dcx && "
               "rm out/d.tif");
    EXPECT_EQ(RunCommand(run + " >/dev/null"), 0);
    EXPECT_EQ(Output("tail -n 6 " + Q(summary) + jq + "false) | .fax' | sort"),
              Output("cd " + Q(dir.path()) + " && ls $PWD/big/[abcd].dcx"));
    EXPECT_EQ(RunCommand(run + " --force >/dev/null"), 0);
    EXPECT_EQ(Output("tail -n 6 " + Q(summary) + jq + "false) | .fax' | wc -l"), "6\n");
}

// A job array of three tasks under a real Slurm, each task one shard: every fax converted once.
TEST_F(BatchExport, ASlurmJobArrayOfThreeShardsConvertsEveryFaxOnce) {
    Slurm slurm;
    if (const std::string why = slurm.Start(); !why.empty()) GTEST_SKIP() << "no private Slurm: " << why;
    std::string expected;
    fs::create_directories(dir.File("archive/a"));
    for (int i = 0; i < 9; ++i) {  // in the order of their names
        const std::string fax = dir.File("archive/" + std::string(i < 3 ? "" : "a/") + std::to_string(i) + ".pcx");
        WriteBytes(fax, MakePcx(pages[i % 3], 216));
        expected += fax + " null false\n";
    }
    const std::string task = CliPath() + " export --recursive " + dir.File("archive") + " --to-dir " + dir.File("out") +
        " --summary " + dir.File("out/summary-\\$SLURM_ARRAY_TASK_ID.jsonl --shard \\$SLURM_ARRAY_TASK_ID/\\$SLURM_ARRAY_TASK_COUNT");
    ASSERT_EQ(slurm.Run("sbatch --wait --time=1 --array=1-3 -o " + dir.File("task-%a.log") + " --wrap \"" + task + "\""), 0)
        << slurm.out << slurm.Log();
    // Each task wrote its summary; together they name every fax once, converted.
    EXPECT_EQ(Output("cd " + Q(dir.File("out")) + " && ls summary-[123].jsonl | wc -l && cat summary-*.jsonl | "
                     "jq -r '\"\\(.fax) \\(.error) \\(.skipped)\"' | LC_ALL=C sort"), "3\n" + expected);
}

TEST_F(BatchExport, UsageErrors) {
    const std::string good = Q(Src("good.dcx")), to = " --to-dir " + Q(dir.File("out")) + " ";
    struct Case {
        std::string args;
        int status;
    };
    const Case cases[] = {
        {to + "--jobs 256 " + good, 0},  {to + "--jobs 257 " + good, 2}, {to + "--jobs 0 " + good, 2},
        {to + "--jobs x " + good, 2},    {to, 2},                        {to + "--fast " + good, 2},
        {good + " --to-dir", 2},         {good + " a.tif b.pdf c", 2},
        {to + "--shard 1/1000000 " + good, 0}, {to + "--shard 1/1000001 " + good, 2}, {to + "--shard 3/3 " + good, 0},
        {to + "--shard 4/3 " + good, 2},       {to + "--shard 0/3 " + good, 2},       {to + "--shard 1/ " + good, 2},
        {to + "--summary '' " + good, 2},      {to + "--summary " + Q(dir.path()) + " " + good, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        std::string out, err;
        EXPECT_EQ(Export(c.args, out, err), c.status) << err;
    }
}

}  // namespace
