// The message boxes: buttons, icon, default button and answer from the button-and-icon code.
// Each box is answered from inside its own event loop, by a click on the button a user would press.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <functional>

#include "ui/main_window/message_box.h"

namespace versalo {
namespace {

struct Seen {
    bool enabled = false;
    QString text;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
    QString defaultButton;
};

// Shows the box and, once it is up, records it and presses the button that pick() chooses.
int Answer(QWidget* parent, const QString& prompt, int code, Seen* seen,
           const std::function<QAbstractButton*(QMessageBox&)>& pick) {
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen->enabled = box->isEnabled();
        seen->text = box->text();
        seen->title = box->windowTitle();
        seen->icon = box->icon();
        for (QAbstractButton* button : box->buttons()) {
            seen->buttons.append(button->text());
        }
        seen->defaultButton = box->defaultButton() != nullptr ? box->defaultButton()->text() : QString();
        pick(*box)->click();
    });
    return ShowMessageBox(parent, prompt, code, QStringLiteral("Versalo"));
}

TEST(MessageBoxTest, TheCloseQuestionOffersJaAndNeinWithNeinAsDefault) {
    QWidget parent;
    parent.show();
    parent.setEnabled(false);  // as during a batch
    Seen seen;
    const int answer = Answer(&parent, QStringLiteral("Wollen Sie wirklich abbrechen?"), 292, &seen,
                              [](QMessageBox& box) { return box.defaultButton(); });
    EXPECT_EQ(answer, kAnswerNo);
    EXPECT_TRUE(seen.enabled);
    EXPECT_EQ(seen.text, QStringLiteral("Wollen Sie wirklich abbrechen?"));
    EXPECT_EQ(seen.title, QStringLiteral("Versalo"));
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.buttons.size(), 2);
    EXPECT_TRUE(seen.buttons.contains(QStringLiteral("&Ja")));
    EXPECT_EQ(seen.defaultButton, QStringLiteral("&Nein"));

    const int yes = Answer(&parent, QStringLiteral("Wollen Sie wirklich abbrechen?"), 292, &seen,
                           [](QMessageBox& box) { return box.button(QMessageBox::Yes); });
    EXPECT_EQ(yes, kAnswerYes);
}

TEST(MessageBoxTest, InformationAndPlainMessagesHaveOneOkButton) {
    Seen info;
    EXPECT_EQ(Answer(nullptr, QStringLiteral("Bitte nur Datei- und Verzeichnisnamen in die Liste ziehen."),
                     64, &info, [](QMessageBox& box) { return box.button(QMessageBox::Ok); }),
              kAnswerOk);
    EXPECT_EQ(info.icon, QMessageBox::Information);
    EXPECT_EQ(info.buttons, QStringList{QStringLiteral("OK")});

    // A carriage return starts a new line.
    Seen plain;
    Answer(nullptr, QStringLiteral("Der Verzeichnisname '/a?'\renthält ungültige Zeichen"), 0, &plain,
           [](QMessageBox& box) { return box.button(QMessageBox::Ok); });
    EXPECT_EQ(plain.icon, QMessageBox::NoIcon);
    EXPECT_EQ(plain.text, QStringLiteral("Der Verzeichnisname '/a?'\nenthält ungültige Zeichen"));
}

}  // namespace
}  // namespace versalo
