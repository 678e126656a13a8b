#pragma once

#include <QString>

namespace versalo {

// The texts of the info dialog.

// The dialog's text, with year (four digits) closing the copyright line.
QString InfoText(const QString& year);

// "Info über Versalo".
QString InfoCaption();

// What the mail, news and registration buttons open.
QString MailTarget();
QString NewsTarget();
QString RegistrationTarget();

// The buttons' tooltips.
QString MailToolTip();
QString NewsToolTip();
QString RegistrationToolTip();
QString CloseToolTip();

}  // namespace versalo
