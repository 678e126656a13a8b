#include <QApplication>
#include <QTimer>

#include <cstdio>

#include "engine/drop_batch.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/start_up.h"

int main(int argc, char* argv[]) {
    if (const std::optional<int> status = versalo::AnswerWithoutWindow(argc, argv)) {
        return *status;
    }
    versalo::PreferXWaylandInWaylandSession();

    // Takes Qt's own options (-platform, -style, ...) out of argc and argv.
    QApplication app(argc, argv);
    std::string error;
    const std::vector<std::string> paths = versalo::PathsToDrop(argc, argv, error);
    if (!error.empty()) {
        std::fprintf(stderr, "versalo: %s\nWeitere Informationen mit 'versalo --help'.\n", error.c_str());
        return 2;
    }
    QApplication::setApplicationName(QStringLiteral("Versalo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Versalo"));
    // Every window of the program, the info dialog too, shows the program's icon.
    QApplication::setWindowIcon(versalo::ProgramIcon());
    versalo::RaiseOpenFileLimit();

    versalo::MainForm form(versalo::OpenWithDesktop);
    form.show();
    if (!paths.empty()) {
        // Paths handed over by a file manager ("Öffnen mit") or a terminal are one drop, run as
        // soon as the window is up, exactly like paths dropped on the drop zone.
        QTimer::singleShot(0, &form, [&form, paths] { form.RunDrop(versalo::DropData{true, paths}); });
    }
    return QApplication::exec();
}
