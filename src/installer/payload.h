// Writing the product into the program folder: the embedded files in a fixed order of ten
// steps (the first writes the viewer and its text recogniser), the last of which copies the
// installer itself so it can later uninstall.
#pragma once

#include <QString>

class QWidget;

namespace inst {

// What the folder dialog shows while the payload is written.
class PayloadView {
public:
    virtual ~PayloadView() = default;
    virtual void showProgress(const QString& bar) = 0;  // a row of "|", repainted at once
    virtual void showSource(const QString& text) = 0;
    virtual void showDestination(const QString& text) = 0;
    virtual QWidget* owner() = 0;
};

inline constexpr int kPayloadSteps = 10;

// The "|" count of step 1..10: step * 0.1 * 136 in double precision, truncated.
int BarLength(int step);

// Runs the ten steps into `folder`; `self` is the installer's own program file.
// True only when every step succeeded; the first failing step shows its message and stops.
bool WritePayload(PayloadView& view, const QString& folder, const QString& self);

// Copies through one 8192-byte buffer; with `keepTime` the copy gets the source's
// modification time, and opening the source is tried 50 times, 100 ms apart. Never shows
// a message.
bool TimedCopy(const QString& source, const QString& destination, bool keepTime);

// Writes resource `id` (no source) or copies `source` over `destination`, showing its own
// failure message.
bool PayloadStep(PayloadView& view, int id, const QString& destination, const QString& source);

// "Copying from: ... The file could not be copied." with its three questions.
QString CopyFailedText(const QString& source, const QString& destination);
// The system's file copy: makes the destination writable, deletes it and copies the source
// over it. Shows "Source File: ... is missing!" or the copy-failed message; true on success.
bool ReplaceByCopy(const QString& source, const QString& destination, QWidget* owner);

}  // namespace inst
