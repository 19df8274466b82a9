// Bilevel TIFF to PDF: one page per TIFF page, each one image recoded with libtiff's
// CCITT Group 4 coder. The layout of the file follows libtiff's tiff2pdf with fixed
// settings (its name stays in the Producer entry), so viewers treat it alike.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "export/pdf_text_layer.h"

namespace fax {

class G4Precoder;

// 0 when the PDF was written, 1 on any failure (a TIFF that cannot be opened, content
// other than 1-bit one-sample strips, a decoding or writing error). Shows nothing; the
// PDF appears under its name only when complete (an old file is kept until then). One conversion at a time: a call made
// while another runs is refused with 1 (see TiffToPdfBusy). With `pageWords`, each page
// gets the text layer of its words (and the file is PDF 1.2, for the layer's compressed
// streams); without, the file is as it always was.
// `precoded`: the pages' images as coded while the TIFF was written (G4Precoder), taken
// where they are the TIFF's pages.
// `beforeCommit`, when given, is asked once the PDF is complete, before it takes its name:
// false discards it.
int TiffToPdf(const std::string& tiffPath, const std::string& pdfPath, const PageWordsFn& pageWords = {},
              const G4Precoder* precoded = nullptr, const std::function<bool()>& beforeCommit = {});

// True while a conversion runs; a caller that may re-enter waits for it to clear.
bool TiffToPdfBusy();

// The producer text written into every PDF.
extern const char* const kPdfProducer;

// The file identifier: 16 bytes from the next four outputs of a 15-bit linear
// congruential generator, started from a fixed state once per run of the program and
// continued by every call, each stored as a 32-bit little-endian number; 32 upper-case
// hexadecimal digits.
std::string PdfFileId();

// A PDF literal string: "(", the text, ")"; controls, 127 and bytes above 127 as a
// backslash and three octal digits; "(", ")" and "\" behind a backslash.
std::string PdfString(const std::string& text);

}  // namespace fax
