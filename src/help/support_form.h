// The support mail form: a page with a filled-in web form, written beside the program and
// opened in the browser, from which the user sends a request to the maker.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace app {

struct ViewerState;

inline const QString kSupportFormPage = QStringLiteral("email_ts.htm");

// Fills a printf-style template: each %s, %i and %c takes the next value as it stands, in
// one pass. Empty when the placeholders and the values do not match up.
QString FillTemplate(const QString& format, const QStringList& values);

// Writes programDir/email_ts.htm from the form template with the system description, the
// subject and the message, and hands it to the browser. True when it was handed over.
bool ShowSupportForm(QWidget* owner, const ViewerState& state, const QString& subject, const QString& message);

}  // namespace app
