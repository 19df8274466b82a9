#include "help/support_form.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QUrl>

#include "app/viewer_state.h"
#include "formats/file_io.h"
#include "help/help.h"
#include "help/support_contacts.h"
#include "platform/prompts.h"

namespace app {

namespace {
const QString kFormResource = QStringLiteral(":/help/email_form.htm");
const QString kCrLf = QStringLiteral("\r\n");

void Fail(QWidget* owner, const QString& text) { prompts().show(owner, kProductName, text, Icon::Error); }
}  // namespace

QString FillTemplate(const QString& format, const QStringList& values) {
    QString out;
    out.reserve(format.size() + 2048);
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c != QLatin1Char('%')) {
            out += c;
            continue;
        }
        const QChar kind = i + 1 < format.size() ? format[i + 1] : QChar();
        if (kind != QLatin1Char('s') && kind != QLatin1Char('i') && kind != QLatin1Char('c')) return {};
        if (next >= values.size()) return {};
        out += values[next++];
        ++i;
    }
    return next == values.size() ? out : QString();
}

bool ShowSupportForm(QWidget* owner, const ViewerState& state, const QString& subject, const QString& message) {
    QFile resource(kFormResource);
    if (!resource.open(QIODevice::ReadOnly)) return false;
    QString form = QString::fromUtf8(resource.readAll());
    if (form.isEmpty()) return false;
    // The page and the block the form sends use CR LF throughout.
    form.replace(kCrLf, QStringLiteral("\n")).replace(QLatin1Char('\n'), kCrLf);

    const QString body = QStringLiteral("Hello Halvard/Orlind,\r\n\r\nI am running [%1, %2].\r\n\r\n%3\r\n")
                             .arg(kProductName, kVersion, message);
    QSize desktop;
    if (QScreen* s = QGuiApplication::primaryScreen()) desktop = s->geometry().size();
    const QString percent = QStringLiteral("%");
    // Everything put into the page is escaped, so a quote in a message cannot break the form.
    const QString page = FillTemplate(form, {kFormHandler.toHtmlEscaped(), kSupportRecipient.toHtmlEscaped(),
                                             state.osDescription.toHtmlEscaped(), QString::number(desktop.width()),
                                             QString::number(desktop.height()), kProductName, kVersion,
                                             subject.toHtmlEscaped(), message.toHtmlEscaped(), percent,
                                             subject.toHtmlEscaped(), percent, percent, body.toHtmlEscaped()});
    if (page.isEmpty()) return false;

    const QString path = QDir(state.programDir).filePath(kSupportFormPage);
    fax::File out = fax::File::Create(QFile::encodeName(path).toStdString());
    if (!out) {
        Fail(owner, QStringLiteral("Could not create [Quorvane email form] file:\n%1\nCheck hard-drive.").arg(path));
        return false;
    }
    qsizetype end = page.size();
    while (end > 0 && (page[end - 1] == QLatin1Char('\r') || page[end - 1] == QLatin1Char('\n') ||
                       page[end - 1] == QLatin1Char(' ')))
        --end;
    const QByteArray bytes = (page.left(end) + kCrLf).toUtf8();
    if (!out.WriteAll(bytes.constData(), static_cast<std::size_t>(bytes.size()))) {
        out.Close();
        Fail(owner, QStringLiteral("Could not write [Quorvane email form] file:\n%1\nCheck hard-drive.").arg(path));
        return false;
    }
    out.Close();
    // A web page: the user's browser first, like the help page.
    if (OpenPageInBrowser(path, QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded), state.programDir)) return true;
    Fail(owner, QStringLiteral("Unable to open your web-browser to the Quorvane email form at:\n%1\n\n\nPlease type the "
                               "following URL into your web-browse and goto it.\n\n%2\n\nOr call Quorvane "
                               "tech-support at %3.")
                    .arg(path, kMailPage, kSupportPhone));
    return false;
}

}  // namespace app
