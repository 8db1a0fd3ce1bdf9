// Localisation of live windows: every localised widget carries the numeric identifier of its
// control, and the language file's texts for a layout are applied by those identifiers.
#pragma once

#include <QString>
#include <string>
#include <vector>

// The toolkit's own texts follow the language too (the main window reloads both together).
#include "gui/QtTranslations.h"

class QLabel;
class QWidget;

namespace va5 {

class CResourceDatabase;

// Marks `widget` with its control identifier (a dynamic property "controlId").
void SetControlId(QWidget* widget, int controlId);
// The control identifier of `widget`, or -1 when it has none.
int ControlId(const QWidget* widget);

// Applies the texts of layout `dialogId`: identifier 0 retitles the window, every direct
// child with a control identifier takes its text. Empty or missing texts change nothing.
void LocaliseWindow(const CResourceDatabase& database, int dialogId, QWidget* window);
// The same with the process-wide database.
void LocaliseWindow(int dialogId, QWidget* window);

// Names every button inside `window` for assistive technology after its caption (without the
// mnemonic mark), so a screen reader or a test robot finds it by what it says.
void NameButtonsByCaption(QWidget* window);

// Shows `text` in a value label and gives assistive technology the same text as the label's
// description, so that a screen reader reads the row's caption (the label's accessible name)
// together with the value it shows. Every value label of the window is set through this.
// A value that is no number ("nan", "-inf", "NaN", alone or before a unit) shows the
// language's "Gauge_No_Value" text instead. A value wider than its label is elided ("...") and
// the whole of it becomes the label's tooltip; the label follows its width, and a long value
// never widens its row.
void SetShownValue(QLabel* label, const QString& text);
// True for such a text.
bool IsNoNumberText(const QString& text);
// The whole value a label was given through SetShownValue (its text for any other label).
QString ShownValue(const QLabel* label);

// The captions of the standard buttons, from the language file (English when it has none).
enum class StandardButton { Ok, Cancel, Yes, No, Retry };
QString StandardButtonText(StandardButton button);

// A UTF-8 text of the core as a QString.
inline QString ToQString(const std::string& text) { return QString::fromStdString(text); }

// A DisplayMsg text of the loaded language with its inserts; `english` (a format of the same
// inserts) when the language file has no such text.
QString DisplayText(const char* key, const char* english, const std::vector<std::string>& args = {});
// The file dialogs' filter from the language file's "File_Filter" (pairs of description and
// pattern list, "|" between them): Qt's "Description (patterns)" entries; a pattern the
// description already names in parentheses is not named twice. Text files and all files
// when the language file has none.
QString FileDialogFilter();

// The same for a UIMsg text (a message box's).
QString UIText(const char* key, const char* english, const std::vector<std::string>& args = {});

}  // namespace va5
