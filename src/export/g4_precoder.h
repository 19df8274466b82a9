// Group 4 images of a fax's pages coded while its TIFF is written: the TIFF writer hands
// over each row's changing elements, a second thread codes them (G4Coder) page by page,
// and the PDF writer later takes each page's image as it stands instead of decoding the
// TIFF's strips again. The images wait in an unnamed temporary file, so memory stays a
// few pieces whatever the fax's length. Whatever goes wrong here (no thread, no temporary
// file, a full disk) only means the PDF writer codes the pages itself, as it otherwise does.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "export/tiff_writer.h"
#include "formats/file_io.h"

namespace fax {

class G4Coder;

class G4Precoder final : public TiffRowListener {
public:
    G4Precoder();
    ~G4Precoder() override;
    G4Precoder(const G4Precoder&) = delete;
    G4Precoder& operator=(const G4Precoder&) = delete;

    // Starts the coding thread and makes the temporary file; false when either cannot be
    // had, and the precoder then takes no rows.
    bool Start();
    // Waits until every row handed over is coded. No row may follow.
    void Finish();

    std::uint32_t* RowRoom() override;
    void Row(std::size_t count) override;
    void PageDone() override;

    // Whether page `page` (from 0) was coded whole, `width` x `rows` (a page of another
    // size is not the one coded). After Finish.
    bool HasImage(std::size_t page, std::uint32_t width, std::uint32_t rows) const;
    // That page's image: its bytes go to `write` in pieces, `length` is their sum. False
    // when reading them back or `write` failed.
    bool CopyImage(std::size_t page, const std::function<bool(const std::uint8_t*, std::size_t)>& write,
                   std::uint64_t& length) const;

private:
    // Rows as their count and elements; kPageEnd ends a page.
    struct Chunk {
        std::unique_ptr<std::uint32_t[]> words;
        std::size_t used = 0;
    };
    struct PageImage {
        std::uint64_t offset = 0, length = 0;
        std::uint32_t rows = 0;
    };

    void Hand();  // the chunk being filled goes to the coding thread
    void Work();
    void Code(const Chunk& chunk);
    bool Spill();  // the coder's bytes so far into the file

    mutable File file_;  // the images, one after the other (read back from a const object)
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> ready_;  // handed over, not yet coded
    std::vector<Chunk> free_;  // coded, for filling again
    std::size_t chunks_ = 0;   // made so far
    bool finishing_ = false;
    Chunk filling_;
    std::vector<std::uint32_t> idle_;  // the room given when no thread takes the rows

    // The coding thread's own.
    std::unique_ptr<G4Coder> coder_;
    std::uint32_t rows_ = 0;
    std::uint64_t spilled_ = 0;  // bytes in the file
    std::uint64_t pageStart_ = 0;
    bool failed_ = false;
    std::vector<PageImage> pages_;
};

}  // namespace fax
