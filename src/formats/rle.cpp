#include "formats/rle.h"

#include <algorithm>
#include <cstring>

namespace fax {

LineDecoder::LineDecoder(std::size_t bytesPerLine, RunAtLineEnd mode, bool roomAfterLine)
    : bytesPerLine_(bytesPerLine ? bytesPerLine : 1), mode_(mode), roomAfterLine_(roomAfterLine) {}

void LineDecoder::Reset() {
    column_ = 0;
    pendingCount_ = 0;
    awaitingValue_ = false;
    awaitingCount_ = 0;
}

LineDecoder::Result LineDecoder::Decode(const std::uint8_t* in, std::size_t inSize, std::uint8_t* out,
                                        std::size_t maxLines) {
    const std::size_t bpl = bytesPerLine_;
    std::size_t pos = 0;
    std::size_t lines = 0;
    std::uint8_t* line = out;
    std::size_t col = column_;

    auto lineDone = [&]() {
        ++lines;
        line += bpl;
        col = 0;
        if (mode_ == RunAtLineEnd::Drop) pendingCount_ = 0;
    };

    while (lines < maxLines) {
        // A run carried over from the last chunk or line goes first.
        if (pendingCount_ > 0) {
            std::size_t n = std::min<std::size_t>(pendingCount_, bpl - col);
            std::memset(line + col, pendingValue_, n);
            col += n;
            pendingCount_ -= static_cast<unsigned>(n);
            if (col == bpl) lineDone();
            continue;
        }
        if (awaitingValue_) {
            if (pos >= inSize) break;
            awaitingValue_ = false;
            pendingValue_ = in[pos++];
            pendingCount_ = awaitingCount_;
            continue;
        }
        // The hot path: plain bytes and runs wholly inside this line and chunk.
        if (roomAfterLine_) {
            while (col < bpl && pos + 1 < inSize) {
                // A unit is a plain byte or a count byte and its value: chosen by masks,
                // as the two kinds alternate at random.
                const std::size_t b = in[pos], next = in[pos + 1];
                const std::size_t run = (b & kCountFlag) == kCountFlag;
                const std::size_t mask = 0 - run;
                const std::size_t count = ((b & 0x3Fu) & mask) | (1 & ~mask);
                if (count > bpl - col) break;
                std::memset(line + col, static_cast<int>((next & mask) | (b & ~mask)), kRoomAfterLine);
                col += count;
                pos += 1 + run;
            }
        }
        while (col < bpl && pos < inSize) {
            std::uint8_t b = in[pos];
            if ((b & kCountFlag) != kCountFlag) {
                line[col++] = b;
                ++pos;
                continue;
            }
            unsigned count = b & 0x3Fu;
            if (pos + 1 >= inSize) {
                // The value byte comes with the next chunk.
                ++pos;
                awaitingValue_ = true;
                awaitingCount_ = count;
                break;
            }
            std::uint8_t v = in[pos + 1];
            pos += 2;
            if (count <= bpl - col) {
                std::memset(line + col, v, count);
                col += count;
            } else {
                std::size_t n = bpl - col;
                std::memset(line + col, v, n);
                col = bpl;
                pendingValue_ = v;
                pendingCount_ = count - static_cast<unsigned>(n);
            }
        }
        if (col == bpl) {
            lineDone();
            continue;
        }
        if (pos >= inSize || awaitingValue_) break;
    }
    column_ = col;
    return {pos, lines};
}

std::size_t EncodeLine(const std::uint8_t* line, std::size_t size, std::uint8_t* out) {
    std::size_t o = 0;
    std::size_t i = 0;
    while (i < size) {
        std::uint8_t v = line[i];
        std::size_t run = 1;
        while (i + run < size && run < kMaxRun && line[i + run] == v) ++run;
        if (run == 1 && v < kCountFlag) {
            out[o++] = v;
        } else {
            out[o++] = static_cast<std::uint8_t>(kCountFlag | run);
            out[o++] = v;
        }
        i += run;
    }
    return o;
}

void EncodeLine(const std::uint8_t* line, std::size_t size, std::vector<std::uint8_t>& out) {
    std::size_t old = out.size();
    out.resize(old + 2 * size);
    out.resize(old + EncodeLine(line, size, out.data() + old));
}

LineDataEnd::LineDataEnd(std::size_t bytesPerLine, std::uint32_t lines)
    : bytesPerLine_(bytesPerLine ? bytesPerLine : 1), wanted_(static_cast<std::uint64_t>(lines) * bytesPerLine_) {
    done_ = wanted_ == 0;
}

// One stored unit: a literal byte or a count byte with its value, starting at input
// offset `at`, decoding to `count` bytes of `value`.
void LineDataEnd::Unit(std::uint64_t at, std::size_t size, unsigned count, std::uint8_t value) {
    const std::uint64_t before = lineStart_ + column_;
    const std::uint64_t used = std::min<std::uint64_t>(count, wanted_ - before);
    if (before + used == wanted_) done_ = true;
    column_ += used;
    if (column_ < bytesPerLine_ || used == 0) return;  // no line completed by this unit
    // The result ends at the last line end inside this unit.
    const std::uint64_t over = column_ % bytesPerLine_;
    const std::uint64_t part = used - over;
    lineStart_ = before + used - over;
    column_ = over;
    cut_.lines = static_cast<std::uint32_t>(lineStart_ / bytesPerLine_);
    cut_.tailSize = 0;
    if (part == count) {
        cut_.copy = at + size;
    } else {
        cut_.copy = at;
        if (part == 1 && value < kCountFlag) {
            cut_.tail[cut_.tailSize++] = value;
        } else {
            cut_.tail[cut_.tailSize++] = static_cast<std::uint8_t>(kCountFlag | part);
            cut_.tail[cut_.tailSize++] = value;
        }
    }
}

bool LineDataEnd::Feed(const std::uint8_t* in, std::size_t size) {
    std::size_t i = 0;
    if (!done_ && awaitingValue_ && size > 0) {
        awaitingValue_ = false;
        Unit(fed_ - 1, 2, awaitingCount_, in[i++]);
    }
    // The column lives in a local: the input bytes could alias the member otherwise.
    // A unit that stays inside its line cannot end the page either (the page ends at a
    // line end), so such units need nothing but counting.
    const std::uint64_t bpl = bytesPerLine_;
    std::uint64_t column = column_;
    while (!done_ && i < size) {
        const std::uint8_t b = in[i];
        const bool run = (b & kCountFlag) == kCountFlag;
        if (run && i + 1 >= size) {
            awaitingValue_ = true;
            awaitingCount_ = b & kMaxRun;
            ++i;
            break;
        }
        const unsigned count = run ? b & kMaxRun : 1;
        const std::size_t unitSize = run ? 2 : 1;
        if (column + count < bpl) {
            column += count;
        } else {
            column_ = column;
            Unit(fed_ + i, unitSize, count, run ? in[i + 1] : b);
            column = column_;
        }
        i += unitSize;
    }
    column_ = column;
    fed_ += size;
    return done_;
}

}  // namespace fax
