// The settings store shared by the viewer and the installer: text values in groups
// "Configure" and "Handles" of one INI file per user. Numbers are stored as decimal
// text; a missing or empty value counts as not set and yields the caller's default.
#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>

namespace app {

inline const QString kConfigure = QStringLiteral("Configure");
inline const QString kHandles = QStringLiteral("Handles");

// $XDG_CONFIG_HOME/Quorvane/Applications/Tarvex.conf (~/.config when unset).
QString SettingsPath();

// Each access opens the store afresh and serialises with the busy flag. A `size` above 0
// cuts the text to size - 1 characters; paths and programs are read whole (size 0).
QString ReadText(const QString& subkey, const QString& name, const QString& fallback = {}, int size = 0);
// The store is written beside the old one and renamed over it; false when that failed
// (the old store then stays as it was).
bool WriteText(const QString& subkey, const QString& name, const QString& text);
// Decimal, leading digits only (with an optional sign); text that does not parse gives 0.
std::int32_t ReadSigned(const QString& subkey, const QString& name, std::int32_t fallback);
// C notation: "0x" hexadecimal, a leading "0" octal; the parsed prefix counts.
std::uint32_t ReadUnsigned(const QString& subkey, const QString& name, std::uint32_t fallback);
// The names of the values stored in `subkey`, set or empty.
QStringList ValueNames(const QString& subkey);
void WriteSigned(const QString& subkey, const QString& name, std::int32_t value);
void WriteUnsigned(const QString& subkey, const QString& name, std::uint32_t value);

// The parsing rules on their own.
std::int32_t ParseSigned(const QString& text);
std::uint32_t ParseUnsigned(const QString& text);

// Every value of the store that the viewer keeps in memory, with its default.
struct Settings {
    QString thisProgramDir;  // empty: not set
    std::uint32_t openMax = 1;
    std::int32_t winX = 100, winY = 100, winCX = 100, winCY = 100;  // window edges
    QString paintProgram;
    std::uint32_t fileNameDcx = 0;
    std::uint8_t scalingFactor = 1;
    std::uint8_t prnAspect = 1;
    std::uint8_t dither = 2;
    QString dftFax;
    QString printFaxPrnDrv;
    std::uint32_t installingTheProgram = 1;
    std::uint32_t printBlankPage = 0;
    std::uint32_t recognisePdfText = 0;   // 1: Build TIF and PDF lays the recognised text over the PDF
    QString recogniseLanguage = QStringLiteral("eng");  // language data names joined by "+"

    // The start-up reads after ThisProgramDir and TransHandle, in their order; each
    // uses the value in memory as its default. `programDir` forms DftFax's default.
    void Load(const QString& programDir);
    // The exit writes, in their order: DftFax, InstallingTheProgram = 0, the four edges.
    void SaveAtExit() const;
};

// Reads TransHandle; `lastSeen` is the default and is updated with what was read.
std::int32_t ReadTransHandle(std::int32_t& lastSeen);
void WriteTransHandle(std::int32_t handle);

// Takes the next new-fax number: waits while another caller is taking one, adds 1,
// wraps to 0 after 99,999,999 and writes the counter at once.
std::uint32_t NextFaxNumber(Settings& settings);
// FaxDir + "/" + eight digits + ".dcx", taking further numbers while the name exists.
QString NewFaxName(const QString& faxDir, Settings& settings);

}  // namespace app
