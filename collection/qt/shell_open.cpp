#include "collection/qt/shell_open.h"

namespace versalo {

void ShellOpen(QWidget* /*form*/, const QString& /*target*/, int /*showCommand*/) {}

void ShowHelp(QWidget* /*form*/) {}

}  // namespace versalo
