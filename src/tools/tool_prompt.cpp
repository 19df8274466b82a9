#include "tools/tool_prompt.h"

#include <QApplication>
#include <QFile>

namespace app {

std::string ToCorePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString FromCore(const std::string& text) { return QFile::decodeName(QByteArray::fromStdString(text)); }

namespace {
Icon ToIcon(fax::MessageIcon icon) {
    switch (icon) {
        case fax::MessageIcon::Information: return Icon::Information;
        case fax::MessageIcon::Question: return Icon::Question;
        case fax::MessageIcon::Error: return Icon::Error;
    }
    return Icon::None;
}
}  // namespace

void ShowToolMessage(QWidget* owner, const fax::ToolMessage& message) {
    prompts().show(owner, FromCore(message.title), FromCore(message.text), ToIcon(message.icon));
}

void ShowToolMessages(QWidget* owner, const fax::ToolMessages& messages) {
    for (const auto& m : messages) ShowToolMessage(owner, m);
}

bool AskOverwrite(QWidget* owner, const fax::ToolMessage& question) {
    return prompts().ask(owner, FromCore(question.title), FromCore(question.text), Icon::Question, Yes | No, No) ==
           Yes;
}

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

}  // namespace app
