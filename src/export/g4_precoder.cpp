#include "export/g4_precoder.h"

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "export/g4_coder.h"

namespace fax {

namespace {

constexpr std::uint32_t kPageEnd = 0xFFFFFFFFu;
constexpr std::size_t kChunkWords = 16 * 1024;  // 64 KiB of rows a piece
constexpr std::size_t kMaxChunks = 2;           // the writer waits when the coder is this far behind
constexpr std::size_t kSpillAt = 64 * 1024;     // coded bytes go to the file in pieces of about this
constexpr std::size_t kReadPiece = 64 * 1024;

}  // namespace

G4Precoder::G4Precoder() = default;

G4Precoder::~G4Precoder() { Finish(); }

bool G4Precoder::Start() {
    // The images wait in the temporary folder, gone when closed whatever ends the program.
    const char* dir = std::getenv("TMPDIR");
    file_ = File::CreateUnnamed(dir && *dir ? dir : "/tmp");
    if (!file_) return false;
    coder_ = std::make_unique<G4Coder>(kFaxWidth);
    filling_.words = std::make_unique<std::uint32_t[]>(kChunkWords);
    chunks_ = 1;
    try {
        thread_ = std::thread([this] { Work(); });
    } catch (const std::system_error&) {
        file_.Close();
        return false;
    }
    return true;
}

std::uint32_t* G4Precoder::RowRoom() {
    if (!thread_.joinable()) {
        idle_.resize(ChangeCapacity(kFaxWidth));
        return idle_.data();
    }
    if (filling_.used + 1 + ChangeCapacity(kFaxWidth) > kChunkWords) Hand();
    return filling_.words.get() + filling_.used + 1;
}

void G4Precoder::Row(std::size_t count) {
    if (!thread_.joinable()) return;
    filling_.words[filling_.used] = static_cast<std::uint32_t>(count);
    filling_.used += count + 1;
}

void G4Precoder::PageDone() {
    if (!thread_.joinable()) return;
    if (filling_.used + 1 > kChunkWords) Hand();
    filling_.words[filling_.used++] = kPageEnd;
}

void G4Precoder::Hand() {
    std::unique_lock lock(mutex_);
    ready_.push_back(std::move(filling_));
    changed_.notify_all();
    if (free_.empty() && chunks_ < kMaxChunks) {
        ++chunks_;
        filling_ = Chunk{std::make_unique<std::uint32_t[]>(kChunkWords), 0};
        return;
    }
    changed_.wait(lock, [this] { return !free_.empty(); });
    filling_ = std::move(free_.back());
    free_.pop_back();
}

void G4Precoder::Finish() {
    if (!thread_.joinable()) return;
    if (filling_.used > 0) Hand();
    {
        std::lock_guard lock(mutex_);
        finishing_ = true;
    }
    changed_.notify_all();
    thread_.join();
}

void G4Precoder::Work() {
    for (;;) {
        Chunk chunk;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return !ready_.empty() || finishing_; });
            if (ready_.empty()) {
                coder_.reset();
                return;
            }
            chunk = std::move(ready_.front());
            ready_.pop_front();
        }
        Code(chunk);
        chunk.used = 0;
        {
            std::lock_guard lock(mutex_);
            free_.push_back(std::move(chunk));
        }
        changed_.notify_all();
    }
}

void G4Precoder::Code(const Chunk& chunk) {
    const std::uint32_t* words = chunk.words.get();
    for (std::size_t at = 0; at < chunk.used;) {
        const std::uint32_t count = words[at++];
        if (count != kPageEnd) at += count;
        if (failed_) continue;  // pages from here on are left to the PDF writer
        if (count == kPageEnd) {
            coder_->Finish();
            failed_ = !Spill();
            if (failed_) continue;
            pages_.push_back({pageStart_, spilled_ - pageStart_, rows_});
            coder_->Restart();
            pageStart_ = spilled_;
            rows_ = 0;
        } else {
            std::copy_n(words + at - count, count, coder_->NextLine());
            coder_->CodeLine(count);
            ++rows_;
            if (coder_->size() >= kSpillAt) failed_ = !Spill();
        }
    }
}

bool G4Precoder::Spill() {
    if (!file_.WriteAll(coder_->data(), coder_->size())) return false;
    spilled_ += coder_->size();
    coder_->Clear();
    return true;
}

bool G4Precoder::HasImage(std::size_t page, std::uint32_t width, std::uint32_t rows) const {
    return !thread_.joinable() && page < pages_.size() && width == kFaxWidth && rows == pages_[page].rows;
}

bool G4Precoder::CopyImage(std::size_t page, const std::function<bool(const std::uint8_t*, std::size_t)>& write,
                           std::uint64_t& length) const {
    const PageImage& image = pages_[page];
    if (!file_.Seek(image.offset)) return false;
    std::vector<std::uint8_t> piece(static_cast<std::size_t>(std::min<std::uint64_t>(image.length, kReadPiece)));
    for (std::uint64_t done = 0; done < image.length;) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(image.length - done, piece.size()));
        if (file_.Read(piece.data(), want) != static_cast<std::int64_t>(want) || !write(piece.data(), want)) return false;
        done += want;
    }
    length = image.length;
    return true;
}

}  // namespace fax
