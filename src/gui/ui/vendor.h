#pragma once

#include <QString>

namespace Tarnwick {

// The product's name and the maker's addresses, named once for the window, its menu and the
// About box. The addresses are the project's own: example.org is reserved for documentation
// and never answers for anyone else.
inline const QString ProductTitle = QStringLiteral("Tarnwick");
inline const QString ProductVersionText = QStringLiteral("Version " TARNWICK_VERSION);
inline const QString SupportAddress = QStringLiteral("support@tarnwick.example.org");
inline const QString WebSiteAddress = QStringLiteral("https://tarnwick.example.org/");

// "mailto:%s?subject=About %s" with the support address and the product title.
QString SupportMailUrl();

} // namespace Tarnwick
