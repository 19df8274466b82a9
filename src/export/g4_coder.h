// Group 4 coder (ITU-T T.6) working on lines given by their changing elements: each line
// is coded against the line before it (an all-white line before the first) in pass,
// vertical and horizontal modes, bits packed from the most significant bit of each byte,
// and the image ends with the end-of-facsimile-block code (two EOLs) and zero fill to a
// byte. The choice of modes is the one of libtiff's coder, so an image comes out with
// the very bytes that coder gives it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "export/line_changes.h"
#include "export/mh_codes.h"

namespace fax {

class G4Coder {
public:
    explicit G4Coder(std::uint32_t width);
    G4Coder(const G4Coder&) = delete;
    G4Coder& operator=(const G4Coder&) = delete;

    // Room for the changing elements of the next line (ChangeCapacity(width) of them).
    std::uint32_t* NextLine() { return line_; }
    // Codes the line whose first `count` elements were put into NextLine(); it is then
    // the reference for the next one.
    void CodeLine(std::size_t count);
    // Ends the image. No line may follow.
    void Finish();
    // Starts a new image, with nothing coded yet (the bytes of the last must be taken).
    void Restart();

    // The coded bytes not yet taken, and taking them.
    const std::uint8_t* data() const { return out_.data(); }
    std::size_t size() const { return at_; }
    void Clear();
    // Every byte coded so far, taken or not.
    std::uint64_t total() const { return taken_ + at_; }

private:
    std::uint32_t width_;
    std::vector<std::uint32_t> lines_;  // two lines' elements: the coding and the reference line
    std::uint32_t* line_;
    std::uint32_t* reference_;
    std::vector<std::uint8_t> out_;
    std::size_t at_ = 0;
    std::uint64_t taken_ = 0;
    std::uint64_t acc_ = 0;  // bits waiting, the first one highest
    unsigned used_ = 0;      // fewer than 8 between codes
};

}  // namespace fax
