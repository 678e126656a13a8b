#pragma once

#include <QString>
#include <QStringList>

namespace versalo {

// The texts of the info dialog. The info text is kept in the form the dialog assembles it, with
// single carriage returns between lines and "&&" for an ampersand; DisplayText turns it into what
// the label shows.

// The seventeen pieces of the info text, in order; year is the current year in four digits
// as the date format "yyyy" writes it.
QStringList InfoTextPieces(const QString& year);

// The pieces joined.
QString InfoText(const QString& year);

// The text as a label shows it: every carriage return breaks the line, "&&" is one "&", and a single
// "&" (an accelerator marker) disappears.
QString DisplayText(const QString& text);

// "Info über Versalo".
QString InfoCaption();

// What the buttons with index 0 (mail), 1 (news page) and 2 (registration page) hand to the shell.
QString MailTarget();
QString NewsTarget();
QString RegistrationTarget();

// The tooltips of the buttons with index 0 to 3.
QString ButtonToolTip(int index);

}  // namespace versalo
