#pragma once

#include <QLocale>

namespace Velmora {

// Installs the module's translation for the locale's languages (the user's by
// default), replacing one installed before. False when the module carries no
// translation for it; the English source texts then show. Needs an application.
bool installTranslation(const QLocale& locale = QLocale());

} // namespace Velmora
