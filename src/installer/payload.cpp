#include "installer/payload.h"

#include <stdio.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <vector>

#include "app/file_copy.h"
#include "formats/file_io.h"
#include "installer/installer_env.h"
#include "installer/resource_file.h"
#include "platform/prompts.h"

namespace inst {

namespace {
constexpr std::size_t kCopyBuffer = 8192;
constexpr int kOpenAttempts = 50;

struct PayloadEntry {
    int step;
    int id;  // 0: the installer itself
    const char* name;
};

// Destinations in the order they are written; ids are the embedded files. The viewer's text
// recogniser, a module the viewer loads from its own folder, goes with it in step 1.
constexpr PayloadEntry kPayload[] = {
    {1, 130, "tarvex"},          {1, 139, VANTOREL_OCR_ENGINE_FILE}, {2, 131, "tarvexhelp.htm"},
    {3, 132, "README.TXT"},      {4, 133, "README.png"},             {5, 134, "MANUAL.TXT"},
    {6, 135, "MANUAL.png"},      {7, 136, "UNINSTL.png"},            {8, 137, "Fax/sample.dcx"},
    {9, 138, "Fax/deskof.pcx"},  {kPayloadSteps, 0, "tarvexinst"},
};

void ShowError(PayloadView& view, const QString& text) {
    app::prompts().show(view.owner(), InstallTitle(), text, app::Icon::Error);
}

// What the payload changes in the folder, so that an installation that fails part-way can
// give the folder back as it was: new files and folders go, replaced files come back.
class Journal {
public:
    ~Journal() {
        for (auto it = steps_.rbegin(); it != steps_.rend(); ++it) {
            if (done_) {
                if (!it->kept.isEmpty()) QFile::remove(it->kept);
            } else if (!it->kept.isEmpty()) {
                // Two names of one file: rename leaves both, and the spare one goes. When the
                // rename fails but the path holds a whole file (the earlier one, or the step's,
                // written under a temporary name and renamed), the spare goes too rather than
                // lie hidden in the user's folder; it stays only when it is the one copy left.
                if (::rename(Native(it->kept), Native(it->path)) == 0 || QFileInfo::exists(it->path))
                    ::unlink(Native(it->kept));
            } else if (!it->existed) {
                QFile::remove(it->path);
            }
        }
        if (!done_)
            for (const QString& folder : folders_) QDir().rmdir(folder);
    }
    void done() { done_ = true; }
    void makeFolder(const QString& folder) {
        if (!QFileInfo(folder).isDir() && QDir().mkdir(folder)) folders_.push_back(folder);
    }
    // Keeps what stands at `path` before a step writes there. A file keeps its place (a
    // second name points at it) so the step meets it as it is; a link is moved aside, so
    // the step writes a file of its own and never the one the link names.
    void before(const QString& path) {
        const QFileInfo info(path);
        Step step{path, {}, info.exists() || info.isSymLink()};
        if (step.existed) {
            const QString kept = info.path() + QStringLiteral("/.") + info.fileName() + QStringLiteral(".tarvexinst-old");
            QFile::remove(kept);
            const bool ok = info.isSymLink() ? ::rename(Native(path), Native(kept)) == 0
                                             : ::link(Native(path), Native(kept)) == 0 || app::CopyFileReplacing(path, kept);
            if (ok) step.kept = kept;
            else if (info.isSymLink()) QFile::remove(path);
        }
        steps_.push_back(step);
    }

private:
    static QByteArray Native(const QString& path) { return QFile::encodeName(path); }
    struct Step {
        QString path, kept;  // kept: where the earlier file or link waits
        bool existed;
    };
    std::vector<Step> steps_;
    std::vector<QString> folders_;
    bool done_ = false;
};

// Programs are written as data; they need the execute bits wherever they can be read.
void MakeRunnable(const QString& path) {
    QFile::Permissions p = QFile::permissions(path);
    if (p & QFile::ReadOwner) p |= QFile::ExeOwner;
    if (p & QFile::ReadGroup) p |= QFile::ExeGroup;
    if (p & QFile::ReadOther) p |= QFile::ExeOther;
    QFile::setPermissions(path, p);
}
}  // namespace

int BarLength(int step) { return static_cast<int>(step * 0.1 * 136); }

QString CopyFailedText(const QString& source, const QString& destination) {
    return QStringLiteral(
               "Copying from:\n%1\nCopying to:\n%2\nThe file could not be copied.\n\no Is %3 in use?\no Is your disk "
               "full?\no You may have specified an invalid destination.\n")
        .arg(source, destination, destination);
}

bool ReplaceByCopy(const QString& source, const QString& destination, QWidget* owner) {
    // Only a plain file is copied: a pipe or a device in its place would never end.
    if (!QFileInfo(source).isFile()) {
        app::prompts().show(owner, InstallTitle(), QStringLiteral("Source File:\n%1\nis missing!").arg(source),
                            app::Icon::Error);
        return false;
    }
    // Deleting the destination would delete the source too.
    if (app::SameFile(source, destination)) return true;
    QFile::setPermissions(destination, QFile::permissions(destination) | QFile::ReadOwner | QFile::WriteOwner);
    QFile::remove(destination);
    if (QFile::copy(source, destination)) return true;
    app::prompts().show(owner, InstallTitle(), CopyFailedText(source, destination), app::Icon::Error);
    return false;
}

bool PayloadStep(PayloadView& view, int id, const QString& destination, const QString& source) {
    view.showDestination(destination);
    if (!source.isEmpty()) {
        view.showSource(source);
        return ReplaceByCopy(source, destination, view.owner());
    }
    view.showSource(QStringLiteral("embedded data"));
    if (WriteResourceFile(id, destination, view.owner())) return true;
    ShowError(view, QStringLiteral("Copying to:\n%1\nThe file could not be copied.\n\no Is %2 in use?\no Is your disk "
                                   "full?\n")
                        .arg(destination, destination));
    return false;
}

bool TimedCopy(const QString& source, const QString& destination, bool keepTime) {
    if (app::SameFile(source, destination)) return false;
    fax::File in;
    for (int attempt = 1; attempt <= (keepTime ? kOpenAttempts : 1); ++attempt) {
        in = fax::File::OpenRead(QFile::encodeName(source).toStdString());
        if (in || attempt == kOpenAttempts) break;
        Pause(100);
    }
    // A read-only destination is refused, as opening it for writing would be. The copy is
    // written beside the destination and renamed over it once complete, so a failure leaves
    // the old file and never a part of the new one under its name.
    const std::string target = QFile::encodeName(destination).toStdString();
    return in && fax::AbsentOrWritable(target) && fax::CopyToFile(in, target, kCopyBuffer, keepTime);
}

bool WritePayload(PayloadView& view, const QString& folder, const QString& self) {
    Journal journal;
    int step = 0;
    for (const PayloadEntry& entry : kPayload) {
        if (entry.step != step) {
            step = entry.step;
            view.showProgress(QString(BarLength(step), QLatin1Char('|')));
            Pause(128);
        }
        const QString destination = folder + QLatin1Char('/') + QLatin1String(entry.name);
        if (step == 8) journal.makeFolder(folder + QStringLiteral("/Fax"));
        if (!app::SameFile(self, destination)) journal.before(destination);
        bool ok;
        if (entry.id != 0) {
            ok = PayloadStep(view, entry.id, destination, {});
            if (ok && entry.id == 130) MakeRunnable(destination);
        } else {
            // An installer run from the folder it installs into is already in place.
            ok = app::SameFile(self, destination) || TimedCopy(self, destination, true) ||
                 PayloadStep(view, 0, destination, self);
        }
        if (!ok) return false;
    }
    journal.done();
    return true;
}

}  // namespace inst
