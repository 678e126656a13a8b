// Shows the info dialog and saves a picture of it, to look at the layout without clicking through
// the program: info_dialog_preview [picture.png]. Without a file name the dialog stays open.
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include "ui/info_dialog/info_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    auto* form = new versalo::InfoForm(versalo::OpenWithDesktop);
    form->ShowPlaced(false);
    if (argc < 2) {
        return QApplication::exec();
    }
    const QString file = QString::fromLocal8Bit(argv[1]);
    // Let the window system map and paint the dialog once before taking the picture.
    QTimer::singleShot(500, form, [form, file] {
        const bool saved = form->grab().save(file);
        QApplication::exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
