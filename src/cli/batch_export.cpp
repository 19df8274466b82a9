// Batch export: each fax is converted in a child process of its own. The PDF writer keeps
// one conversion per process, and a child that dies takes only its own fax with it.
#include "cli/batch_export.h"

#include <limits.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "cli/batch_summary.h"
#include "cli/commands.h"
#include "export/fax_export.h"
#include "export/output_check.h"
#include "formats/fax_check.h"
#include "formats/fax_reader.h"
#include "formats/file_io.h"

namespace fs = std::filesystem;

namespace cli {

namespace {

constexpr unsigned kMaxJobs = 256;
constexpr long kMaxShards = 1000000;
constexpr std::size_t kMaxMessage = 4096;  // what a child may report

// Interrupting the batch (SIGINT, SIGTERM) starts no new fax; a worker keeps the stop
// signals blocked and finishes the fax in hand, so every output it leaves is complete (the
// writers never leave a partial file under an output's name).
volatile std::sig_atomic_t g_stop = 0;
void OnStop(int) { g_stop = 1; }

void Handle(void (*handler)(int)) {
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
}

// What every worker is handed: the choices that change what one conversion writes, and so
// what an earlier run must have written for a fax to be left alone. An option of the
// conversion is parsed in ParseOptions, kept here, obeyed by Convert and, where it changes
// the outputs, weighed by CompleteOutputs.
struct WorkerOptions {
    bool pdfOnly = false;
    ocr::Recognizer* recognizer = nullptr;  // --ocr: the PDFs get the recognised text
};

struct Options {
    std::string outDir;
    bool recursive = false;
    unsigned jobs = 0;
    unsigned shard = 1, shards = 1;  // --shard K/N: this run takes the K-th of N parts
    bool force = false;              // convert again what an earlier run finished
    std::string summary;             // the JSON lines file, when asked for
    WorkerOptions worker;
    std::vector<std::string> paths;
};

struct Job {
    std::string input;    // as found
    std::string key;      // its place below its root ('/' between folders): picks its shard
    fs::path outBase;     // output path without extension
    unsigned pages = 0;   // from its page table; 0 when that cannot be read
    std::uintmax_t bytes = 0;  // its size, for the order of work between several workers
    std::string failure;  // set when the job fails before it is started
};

int BatchUsage(const std::string& why) {
    std::fprintf(stderr,
                 "export: %s\nusage: tarvex-cli export --to-dir OUT [--recursive] [--jobs N] [--pdf-only] [--force]\n"
                 "                  [--shard K/N] [--summary FILE] [--ocr [--lang L]] PATH...\n",
                 why.c_str());
    return kUsage;
}

// "K/N" with 1 <= K <= N <= kMaxShards.
bool ParseShard(const std::string& text, unsigned& shard, unsigned& shards) {
    const std::size_t slash = text.find('/');
    long k = 0, n = 0;
    if (slash == std::string::npos || !ParseWhole(text.substr(slash + 1), 1, kMaxShards, n) ||
        !ParseWhole(text.substr(0, slash), 1, n, k))
        return false;
    shard = static_cast<unsigned>(k);
    shards = static_cast<unsigned>(n);
    return true;
}

// The shard (1 to `shards`) of a fax: the CRC-32 of its key's bytes (zlib's, as in gzip and
// PNG), modulo the count, plus one. Fixed for good: every machine must agree on it.
unsigned ShardOf(const std::string& key, unsigned shards) {
    const uLong crc = crc32_z(0L, reinterpret_cast<const Bytef*>(key.data()), key.size());
    return static_cast<unsigned>(crc % shards) + 1;
}

bool ParseJobs(const std::string& text, unsigned& jobs) {
    long n = 0;
    if (!ParseWhole(text, 1, kMaxJobs, n)) return false;
    jobs = static_cast<unsigned>(n);
    return true;
}

// Empty when the arguments are good, else why not.
std::string ParseOptions(const std::vector<std::string>& args, Options& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--to-dir" || a == "--jobs" || a == "--shard" || a == "--summary") {
            if (i + 1 >= args.size()) return a + " lacks its value";
            const std::string& v = args[++i];
            if (a == "--to-dir") o.outDir = v;
            else if (a == "--summary" && v.empty()) return "--summary needs a file";
            else if (a == "--summary") o.summary = v;
            else if (a == "--shard" && !ParseShard(v, o.shard, o.shards))
                return "--shard takes K/N, two numbers with 1 <= K <= N <= " + std::to_string(kMaxShards);
            else if (a == "--jobs" && !ParseJobs(v, o.jobs))
                return "--jobs takes a number from 1 to " + std::to_string(kMaxJobs);
        } else if (a == "--recursive") {
            o.recursive = true;
        } else if (a == "--force") {
            o.force = true;
        } else if (a == "--pdf-only") {
            o.worker.pdfOnly = true;
        } else if (a.size() > 1 && a[0] == '-' && a[1] == '-') {
            return "unknown option " + a;
        } else {
            o.paths.push_back(a);
        }
    }
    if (o.outDir.empty()) return "--to-dir needs a folder";
    if (o.paths.empty()) return "no fax or folder to convert";
    if (o.jobs == 0) {
        // The cores this process may run on, which a container or taskset may limit.
        cpu_set_t set;
        long cores = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set) : ::sysconf(_SC_NPROCESSORS_ONLN);
        o.jobs = static_cast<unsigned>(std::clamp<long>(cores, 1, kMaxJobs));
    }
    return {};
}

bool HasFaxExtension(const fs::path& p) {
    std::string ext = p.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext == ".dcx" || ext == ".pcx";
}

// The faxes below `root`, with their place relative to it. Folders that cannot be read
// are reported as failures; symbolic links to folders are not followed (no loops).
void CollectFolder(const fs::path& root, const fs::path& rel, const Options& o, std::vector<Job>& jobs) {
    std::error_code ec;
    const fs::path folder = root / rel;
    std::vector<fs::directory_entry> entries;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) entries.push_back(*it);
    if (ec) {
        Job j;
        j.input = folder.string();
        j.key = rel.generic_string();
        j.failure = "Can not read the folder:\n" + folder.string();
        jobs.push_back(j);
        return;
    }
    for (const auto& e : entries) {
        const fs::path name = e.path().filename();
        if (e.is_directory(ec) && !e.is_symlink(ec)) {
            // The output folder may lie inside a source folder; its files are no faxes anyway.
            if (o.recursive && !fs::equivalent(e.path(), o.outDir, ec)) CollectFolder(root, rel / name, o, jobs);
        } else if (e.is_regular_file(ec) && HasFaxExtension(name)) {
            Job j;
            j.input = e.path().string();
            j.key = (rel / name).generic_string();
            j.outBase = fs::path(o.outDir) / rel / name.stem();
            jobs.push_back(j);
        }
    }
}

// Every fax named or found, each with its outputs, and those of this run's shard kept. A fax
// found in a named folder is keyed by its path below that folder ("2014/a.dcx"), a fax named
// on its own by its file name: the place its copies take below OUT, whatever the folder is
// called or where it is mounted on each machine.
std::vector<Job> CollectJobs(const Options& o) {
    std::vector<Job> jobs;
    for (const std::string& p : o.paths) {
        std::error_code ec;
        if (fs::is_directory(p, ec)) {
            CollectFolder(p, {}, o, jobs);
        } else {
            Job j;
            j.input = p;
            j.key = fs::path(p).filename().string();
            j.outBase = fs::path(o.outDir) / fs::path(p).filename().stem();
            jobs.push_back(j);
        }
    }
    std::stable_sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.input < b.input; });
    // Two faxes that map to one output (a.dcx and a.pcx) must not replace each other's copies.
    std::map<std::string, std::string> owner;
    for (Job& j : jobs) {
        if (!j.failure.empty()) continue;
        auto [it, fresh] = owner.emplace(j.outBase.string(), j.input);
        if (!fresh) j.failure = "Its copies would replace those of " + it->second;
    }
    // Shards are taken after that, so that both faxes of a clash get the same verdict
    // whichever shards they fall in.
    std::erase_if(jobs, [&o](const Job& j) { return ShardOf(j.key, o.shards) != o.shard; });
    // Page counts for the progress line and the check of earlier outputs; only regular files
    // are opened (a FIFO would block).
    for (Job& j : jobs) {
        fax::FaxReader reader;
        if (j.failure.empty() && fax::FileExists(j.input) && reader.Open(j.input) &&
            reader.ReadLayout() == fax::PageError::None)
            j.pages = reader.pageCount();
        std::error_code ec;
        j.bytes = fs::is_regular_file(j.input, ec) ? fs::file_size(j.input, ec) : 0;
        if (ec) j.bytes = 0;
    }
    return jobs;
}

std::string TifPath(const Job& j) { return j.outBase.string() + ".tif"; }
std::string PdfPath(const Job& j) { return j.outBase.string() + ".pdf"; }

// The outputs a conversion of the fax writes.
std::vector<std::string> Outputs(const Job& j, const WorkerOptions& w) {
    if (w.pdfOnly) return {PdfPath(j)};
    return {TifPath(j), PdfPath(j)};
}

bool Newer(const struct stat& a, const struct stat& b) {
    return a.st_mtim.tv_sec != b.st_mtim.tv_sec ? a.st_mtim.tv_sec > b.st_mtim.tv_sec
                                                : a.st_mtim.tv_nsec > b.st_mtim.tv_nsec;
}

// The outputs of a fax that an earlier run finished: each a regular file, modified after the
// fax, and whole (a TIFF of as many pages as the fax, a PDF with its end mark). Empty when any
// is missing, older or broken; the fax is then converted again. A PDF carries no mark of the
// options it was made with, so it is taken as it is whatever those were.
std::vector<std::string> CompleteOutputs(const Job& j, const WorkerOptions& w) {
    struct stat fax {}, out {};
    if (j.pages == 0 || ::stat(j.input.c_str(), &fax) != 0) return {};
    std::vector<std::string> outputs = Outputs(j, w);
    for (const std::string& path : outputs) {
        const bool tif = path == TifPath(j);
        if (::stat(path.c_str(), &out) != 0 || !S_ISREG(out.st_mode) || !Newer(out, fax) ||
            !(tif ? fax::TiffComplete(path, j.pages) : fax::PdfComplete(path)))
            return {};
    }
    return outputs;
}

// The conversion of one fax into temporary files beside its outputs, renamed over them only
// when both are complete. Returns the failure message, empty on success.
std::string Convert(const Job& j, const WorkerOptions& w) {
    if (FaxProblem p = CheckProblem(fax::CheckFaxFile(j.input))) return p.Line();
    const std::string tifPath = TifPath(j), pdfPath = PdfPath(j);
    if (fax::SameFile(j.input, tifPath) || fax::SameFile(j.input, pdfPath))
        return "Its copy would replace the fax itself.";
    if (std::string why = MakeFolder(j.outBase.parent_path().string()); !why.empty()) return why;
    // What a killed run of this shard was writing; nobody else writes these outputs.
    fax::AtomicFile::RemoveLeftovers(tifPath);
    fax::AtomicFile::RemoveLeftovers(pdfPath);
    fax::AtomicFile tif(tifPath), pdf(pdfPath);
    if (!tif.Open()) return "Can not Create:\n" + tifPath + "\n" + tif.error();
    if (!pdf.Open()) return "Can not Create:\n" + pdfPath + "\n" + pdf.error();
    // The driver truncates the TIFF's temporary file and replaces the PDF's; both names
    // stay the AtomicFiles', which rename them into place or remove them.
    fax::ExportResult r;
    if (std::string failed = ExportFax(j.input, tif.tempPath(), pdf.tempPath(), w.recognizer, r); !failed.empty())
        return failed;
    if (w.pdfOnly) tif.Discard();
    else if (!tif.Commit()) return "Could not write:\n" + tifPath + "\n" + tif.error();
    if (!pdf.Commit()) return "Could not write:\n" + pdfPath + "\n" + pdf.error();
    return {};
}

struct Running {
    pid_t pid;
    int fd;
    std::size_t job;
    std::string message;
    std::chrono::steady_clock::time_point started;
};

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Starts the conversion of job `index` in a child; the child writes its failure message,
// if any, into the pipe and exits. It inherits the blocked stop signals and never takes them.
bool Start(const std::vector<Job>& jobs, std::size_t index, const WorkerOptions& w, Running& out) {
    int fds[2];
    if (::pipe(fds) != 0) return false;
    std::fflush(stdout);
    std::fflush(stderr);
    const auto started = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    if (pid == 0) {
        ::close(fds[0]);
        std::string message = Convert(jobs[index], w);
        if (message.size() > kMaxMessage) message.resize(kMaxMessage);
        const char* p = message.data();
        std::size_t left = message.size();
        while (left > 0) {
            ssize_t n = ::write(fds[1], p, left);
            if (n <= 0) break;
            p += n;
            left -= static_cast<std::size_t>(n);
        }
        ::_exit(message.empty() ? 0 : 1);
    }
    ::close(fds[1]);
    out = {pid, fds[0], index, {}, started};
    return true;
}

// The child's verdict once it has ended: empty on success, else the message. What is still
// in its pipe is read first, so a child waited for early still has its say.
std::string Finish(Running& r) {
    char buffer[1024];
    for (ssize_t n; (n = ::read(r.fd, buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno != EINTR) break;
        if (n > 0 && r.message.size() < kMaxMessage) r.message.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(r.fd);
    int status = 0;
    while (::waitpid(r.pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
    if (!r.message.empty()) return r.message;
    if (WIFSIGNALED(status)) return "The conversion stopped with signal " + std::to_string(WTERMSIG(status)) + ".";
    return "The conversion failed.";
}

std::string Duration(double seconds) {
    long s = static_cast<long>(seconds + 0.5);
    char text[32];
    if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
    else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
    return text;
}

// A progress line rewritten in place on a terminal; a plain log of one line per fax otherwise;
// and a line for each fax in the summary file, when there is one.
class Report {
public:
    Report(std::size_t faxes, unsigned long long pages, bool terminal, SummaryFile& summary)
        : faxes_(faxes), pages_(pages), terminal_(terminal), summary_(summary), start_(std::chrono::steady_clock::now()) {}

    // A fax converted (`outputs` written) or failed (`failure` set, nothing written).
    void Done(const Job& j, const std::string& failure, const std::vector<std::string>& outputs, double seconds) {
        ++faxesDone_;
        pagesDone_ += std::max(1u, j.pages);
        if (!failure.empty()) {
            ++failed_;
            Clear();
            std::fprintf(stderr, "failed %s: %s\n", j.input.c_str(), OneLine(failure).c_str());
        } else if (!terminal_) {
            std::string written;  // every output, as each is named
            for (const std::string& out : outputs) written += (written.empty() ? "" : " ") + out;
            std::printf("converted %s -> %s\n", j.input.c_str(), written.c_str());
        }
        Record({j.input, j.pages, failure.empty() ? outputs : std::vector<std::string>{}, seconds, failure, false});
    }

    // A fax whose outputs an earlier run finished.
    void Skipped(const Job& j, const std::vector<std::string>& outputs, double seconds) {
        ++faxesDone_;
        ++skipped_;
        pagesDone_ += j.pages;
        if (!terminal_) std::printf("skipped %s: %s is complete\n", j.input.c_str(), outputs.back().c_str());
        Record({j.input, j.pages, outputs, seconds, {}, true});
    }

    double Elapsed() const { return Since(start_); }

    // After an interruption: what was done, and how many faxes were left.
    int Stopped(std::size_t left) {
        Clear();
        std::fprintf(stderr, "Stopped: %zu %s not converted.\n", left, left == 1 ? "fax was" : "faxes were");
        Summary();
        return kFailed;
    }

    int Summary() {
        Clear();
        summary_.Close();
        if (!summary_.error().empty()) std::fprintf(stderr, "%s\n", summary_.error().c_str());
        std::fflush(stderr);
        std::printf("%zu %s, %llu %s: %zu converted, %zu skipped, %zu failed in %.1f s\n", faxes_,
                    faxes_ == 1 ? "fax" : "faxes", pagesDone_, pagesDone_ == 1 ? "page" : "pages",
                    faxesDone_ - failed_ - skipped_, skipped_, failed_, Elapsed());
        // A summary that lacks lines is a failure too: whoever reads it would miss faxes.
        return failed_ == 0 && summary_.error().empty() ? kOk : kFailed;
    }

private:
    void Record(const SummaryLine& line) {
        if (summary_.error().empty()) summary_.Append(line);
        if (terminal_) Progress();
    }

    void Progress() {
        std::string left = "--:--";
        if (pagesDone_ > 0 && pagesDone_ < pages_)
            left = Duration(Elapsed() * static_cast<double>(pages_ - pagesDone_) / static_cast<double>(pagesDone_));
        else if (pagesDone_ >= pages_)
            left = "0:00";
        std::fprintf(stderr, "\r\033[Kpages %llu/%llu, faxes %zu/%zu, %zu failed, %s left", pagesDone_, pages_,
                     faxesDone_, faxes_, failed_, left.c_str());
        std::fflush(stderr);
    }
    void Clear() {
        if (terminal_) std::fputs("\r\033[K", stderr);
    }

    std::size_t faxes_;
    unsigned long long pages_;
    bool terminal_;
    SummaryFile& summary_;
    std::chrono::steady_clock::time_point start_;
    std::size_t faxesDone_ = 0;
    unsigned long long pagesDone_ = 0;
    std::size_t failed_ = 0;
    std::size_t skipped_ = 0;
};

// Whether a stop signal waits, blocked, for the next wait: a long run of faxes to skip has
// no wait in it.
bool StopPending() {
    sigset_t pending;
    return ::sigpending(&pending) == 0 && (sigismember(&pending, SIGINT) == 1 || sigismember(&pending, SIGTERM) == 1);
}

}  // namespace

bool IsBatchExport(const std::vector<std::string>& args) {
    return std::find(args.begin(), args.end(), "--to-dir") != args.end();
}

int BatchExport(const std::vector<std::string>& given) {
    Options o;
    std::vector<std::string> args = given;
    TextOptions text;
    if (std::string why = TakeTextOptions(args, text, true); !why.empty()) return BatchUsage(why);
    if (std::string why = ParseOptions(args, o); !why.empty()) return BatchUsage(why);
    // Loaded once; every worker starts with it.
    std::unique_ptr<ocr::Recognizer> recognizer;
    if (std::string why = OpenRecognizer(text, recognizer); !why.empty()) return Fail(why);
    o.worker.recognizer = recognizer.get();
    if (std::string why = MakeFolder(o.outDir); !why.empty()) return Fail(why);
    SummaryFile summary;
    if (std::string why = summary.Open(o.summary); !why.empty()) return Fail(why);

    std::vector<Job> jobs = CollectJobs(o);
    // Several workers take the longest work first, so that none is left alone with a long fax
    // at the end while the others idle; a single worker keeps the order of the names.
    if (o.jobs > 1)
        std::stable_sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) {
            return a.pages != b.pages ? a.pages > b.pages : a.bytes > b.bytes;
        });
    unsigned long long pages = 0;
    for (const Job& j : jobs) pages += std::max(1u, j.pages);
    Report report(jobs.size(), pages, ::isatty(STDERR_FILENO) == 1, summary);

    // The stop signals are blocked except while waiting, so none slips in between the check
    // and the wait.
    sigset_t stopSignals, waiting;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    ::sigprocmask(SIG_BLOCK, &stopSignals, &waiting);
    Handle(OnStop);

    std::vector<Running> running;
    std::size_t next = 0;
    while (next < jobs.size() || !running.empty()) {
        if (g_stop || StopPending()) {
            // The workers finish the faxes in hand (they ignore the signal), and are reported.
            for (const Running& r : running) ::kill(r.pid, SIGTERM);
            for (Running& r : running) {
                const Job& j = jobs[r.job];
                report.Done(j, Finish(r), Outputs(j, o.worker), Since(r.started));
            }
            return report.Stopped(jobs.size() - next);
        }
        while (next < jobs.size() && running.size() < o.jobs && !StopPending()) {
            Job& j = jobs[next];
            const std::size_t index = next++;
            if (j.failure.empty() && !o.force) {
                const auto checked = std::chrono::steady_clock::now();
                if (std::vector<std::string> done = CompleteOutputs(j, o.worker); !done.empty()) {
                    report.Skipped(j, done, Since(checked));
                    continue;
                }
            }
            Running r;
            if (j.failure.empty() && !Start(jobs, index, o.worker, r))
                j.failure = "Can not start a worker process: " + std::string(std::strerror(errno));
            if (!j.failure.empty()) report.Done(j, j.failure, {}, 0);
            else running.push_back(r);
        }
        if (running.empty()) continue;
        std::vector<pollfd> fds;
        for (const Running& r : running) fds.push_back({r.fd, POLLIN, 0});
        if (::ppoll(fds.data(), fds.size(), nullptr, &waiting) < 0) {
            if (errno == EINTR) continue;
            return Fail("Waiting for the worker processes failed: " + std::string(std::strerror(errno)));
        }
        for (std::size_t k = fds.size(); k-- > 0;) {
            if (!(fds[k].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            Running& r = running[k];
            char buffer[1024];
            ssize_t n = ::read(r.fd, buffer, sizeof buffer);
            if (n > 0) {
                if (r.message.size() < kMaxMessage) r.message.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            const Job& j = jobs[r.job];
            report.Done(j, Finish(r), Outputs(j, o.worker), Since(r.started));
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(k));
        }
    }
    return report.Summary();
}

}  // namespace cli
