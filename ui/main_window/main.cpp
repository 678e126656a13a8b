#include <QApplication>

#include "engine/drop_batch.h"

#include "ui/main_window/main_form.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Versalo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Versalo"));
    // Every window of the program, the info dialog too, shows the program's icon.
    QApplication::setWindowIcon(versalo::ProgramIcon());
    versalo::RaiseOpenFileLimit();

    versalo::MainForm form;
    form.show();
    return QApplication::exec();
}
