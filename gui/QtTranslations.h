// Qt's own texts (file dialogs, the toolkit's standard buttons, context menus of edit fields)
// in the language of the language file in force.
#pragma once

#include <QString>

namespace va5 {

class CResourceDatabase;

// Installs Qt's translation for the locale that `database` names ("ja" loads qtbase_ja) and
// removes the one installed before; a language without a locale, or one Qt has no translation
// for, leaves Qt's English. While a translation is in force the application uses Qt's own
// dialogs, which follow it, rather than the platform's, which follow the system's language.
// Returns the locale now in force ("" for English).
QString ApplyQtTranslations(const CResourceDatabase& database);

}  // namespace va5
