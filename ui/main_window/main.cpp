#include <QApplication>
#include <QIcon>

#include "ui/main_window/main_form.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Versalo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Versalo"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/versalo/icon-32.png"), QSize(32, 32));
    icon.addFile(QStringLiteral(":/versalo/icon-16.png"), QSize(16, 16));
    // Every window of the program, the info dialog too, shows the program's icon.
    QApplication::setWindowIcon(icon);

    versalo::MainForm form;
    form.show();
    return QApplication::exec();
}
