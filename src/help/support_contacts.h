// Where users reach the maker: the web site, the support form and the telephone.
#pragma once

#include <QString>

namespace app {

inline const QString kWebSite = QStringLiteral("https://www.quorvane.example/vantorel");
// The page the Help menu names for mail; the filled-in form is sent to kFormHandler.
inline const QString kMailPage = QStringLiteral("https://www.quorvane.example/vantorel/support");
inline const QString kFormHandler = QStringLiteral("https://www.quorvane.example/cgi-bin/supportform");
inline const QString kSupportRecipient = QStringLiteral("Vantorel Support");
inline const QString kSupportPhone = QStringLiteral("0455 210 733");

}  // namespace app
