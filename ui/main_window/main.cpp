#include <QApplication>
#include <QTimer>

#include "engine/drop_batch.h"
#include "ui/main_window/main_form.h"
#include "ui/main_window/start_up.h"

int main(int argc, char* argv[]) {
    // The whole command line is read before the application object exists: a wrong option gets
    // its message without a display, and Qt sees only its own options of a fixed list, never a
    // path (see ParseWindowCommandLine).
    const versalo::WindowCommandLine commandLine = versalo::ParseWindowCommandLine(argc, argv);
    if (const int status = versalo::AnswerWithoutWindow(commandLine); status >= 0) {
        return status;
    }
    versalo::PreferXWaylandInWaylandSession();

    // QApplication keeps argc and argv and may take words out; both live until the program ends.
    std::vector<std::string> qtWords = commandLine.qtArguments;
    std::vector<char*> qtArgv;
    for (std::string& word : qtWords) {
        qtArgv.push_back(word.data());
    }
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(qtWords.size());
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Versalo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Versalo"));
    // Every window of the program, the info dialog too, shows the program's icon.
    QApplication::setWindowIcon(versalo::ProgramIcon());
    versalo::RaiseOpenFileLimit();

    versalo::MainForm form(versalo::OpenWithDesktop);
    form.show();
    if (!commandLine.paths.empty()) {
        // Paths handed over by a file manager ("Öffnen mit") or a terminal are one drop, run as
        // soon as the window is up, exactly like paths dropped on the drop zone.
        // A rule given on the command line counts for this drop only.
        QTimer::singleShot(0, &form, [&form, paths = commandLine.paths, rule = commandLine.rule] {
            form.RunDrop(versalo::DropData{true, paths}, rule);
        });
    }
    return QApplication::exec();
}
