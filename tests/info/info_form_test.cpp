#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDate>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QUrl>
#include <vector>

#include "collection/qt/shell_open.h"
#include "ui/info_dialog/info_form.h"
#include "ui/info_dialog/info_text.h"
#include "version_config.h"

namespace versalo {
namespace {

const QString kHost = QStringLiteral(VERSALO_WEB_HOST);

int OpenInfoForms() {
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (qobject_cast<InfoForm*>(widget) != nullptr && widget->isVisible()) {
            ++count;
        }
    }
    return count;
}

// Deletes what close() left for deletion, so that the next test starts without a dialog.
void FlushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Every test gets a fresh dialog, a screen of its own choosing, a centring that only records, and
// an opener that only records: no browser or mail program starts.
class InfoFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_previousPlacement = SetInfoPlacement({[this] { return screen; },
                                                [this](QWidget* form) {
                                                    centred.push_back(form);
                                                    form->move(123, 45);
                                                }});
        m_previousOpener = SetUrlOpener([this](const QUrl& url) { opened.push_back(url); });
    }

    void TearDown() override {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (qobject_cast<InfoForm*>(widget) != nullptr) {
                widget->close();
            }
        }
        FlushDeletes();
        SetInfoPlacement(m_previousPlacement);
        SetUrlOpener(m_previousOpener);
    }

    template <typename T>
    static T* Child(QWidget* form, const char* name) {
        T* child = form->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QSize screen{1024, 768};
    std::vector<QWidget*> centred;
    std::vector<QUrl> opened;

private:
    InfoPlacement m_previousPlacement;
    UrlOpener m_previousOpener;
};

TEST_F(InfoFormTest, SmallScreenRule) {
    EXPECT_TRUE(IsSmallScreen(QSize(640, 480)));
    EXPECT_TRUE(IsSmallScreen(QSize(641, 480)));
    EXPECT_TRUE(IsSmallScreen(QSize(640, 481)));
    EXPECT_TRUE(IsSmallScreen(QSize(1920, 400)));
    EXPECT_FALSE(IsSmallScreen(QSize(641, 481)));
    EXPECT_FALSE(IsSmallScreen(QSize(800, 600)));
}

TEST_F(InfoFormTest, OpensInTheCornerOf640By480) {
    screen = QSize(640, 480);
    InfoForm* form = ShowInfoForm();
    EXPECT_TRUE(centred.empty());
    EXPECT_EQ(form->pos(), QPoint(0, 0));
}

TEST_F(InfoFormTest, OpensInTheCornerOf641By480) {
    screen = QSize(641, 480);
    InfoForm* form = ShowInfoForm();
    EXPECT_TRUE(centred.empty());
    EXPECT_EQ(form->pos(), QPoint(0, 0));
}

TEST_F(InfoFormTest, OpensCentredOn800By600) {
    screen = QSize(800, 600);
    InfoForm* form = ShowInfoForm();
    ASSERT_FALSE(centred.empty());
    for (QWidget* placed : centred) {
        EXPECT_EQ(placed, form);
    }
    EXPECT_EQ(form->pos(), QPoint(123, 45));
}

TEST_F(InfoFormTest, RealCentringOnTheScreen) {
    SetInfoPlacement({});
    InfoForm* form = ShowInfoForm();
    const QRect area = form->screen()->geometry();
    ASSERT_FALSE(IsSmallScreen(area.size())) << "the test screen is too small to centre on";
    const QRect frame = form->frameGeometry();
    EXPECT_EQ(frame.x(), area.x() + (area.width() - frame.width()) / 2);
    EXPECT_EQ(frame.y(), area.y() + (area.height() - frame.height()) / 2);
}

TEST_F(InfoFormTest, CaptionSizeAndFrame) {
    InfoForm* form = ShowInfoForm();
    EXPECT_EQ(form->windowTitle(), "Info über Versalo");
    // 9384 x 6396 twips at 15 twips a pixel.
    EXPECT_EQ(form->size(), QSize(626, 426));
    EXPECT_EQ(form->minimumSize(), form->size());
    EXPECT_EQ(form->maximumSize(), form->size());
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(form->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(form->windowFlags().testFlag(Qt::WindowCloseButtonHint));
}

TEST_F(InfoFormTest, ModelessWithoutOwner) {
    InfoForm* form = ShowInfoForm();
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(form->isModal());
    EXPECT_EQ(form->parentWidget(), nullptr);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(InfoFormTest, ControlsStandWhereTheLayoutPutsThem) {
    InfoForm* form = ShowInfoForm();
    EXPECT_EQ(Child<QPushButton>(form, "Btn0")->geometry(), QRect(128, 380, 97, 37));
    EXPECT_EQ(Child<QPushButton>(form, "Btn1")->geometry(), QRect(236, 380, 133, 37));
    EXPECT_EQ(Child<QPushButton>(form, "Btn2")->geometry(), QRect(380, 380, 133, 37));
    EXPECT_EQ(Child<QPushButton>(form, "Btn3")->geometry(), QRect(524, 380, 97, 37));
    EXPECT_EQ(Child<QLabel>(form, "Picture1")->geometry(), QRect(8, 8, 109, 409));
    EXPECT_EQ(Child<QLabel>(form, "Label0")->geometry(), QRect(128, 8, 489, 361));
    const QRect line = Child<QFrame>(form, "Line1")->geometry();
    EXPECT_EQ(line.left(), 128);
    EXPECT_EQ(line.right(), 620);
    EXPECT_LE(line.top(), 371);
    EXPECT_GE(line.bottom(), 371);
    // Between the text and the buttons.
    EXPECT_GT(line.top(), 8 + 361 - 1);
    EXPECT_LT(line.bottom(), 380);
}

TEST_F(InfoFormTest, ButtonCaptionsAndTabOrder) {
    InfoForm* form = ShowInfoForm();
    QPushButton* buttons[] = {Child<QPushButton>(form, "Btn0"), Child<QPushButton>(form, "Btn1"),
                              Child<QPushButton>(form, "Btn2"), Child<QPushButton>(form, "Btn3")};
    EXPECT_EQ(buttons[0]->text(), "Eine &E-Mail an mich schreiben");
    EXPECT_EQ(buttons[1]->text(), "Die 'News'-Seite auf meiner Web-Site öffnen");
    EXPECT_EQ(buttons[2]->text(), "Zur Registrierung über meine Web-Site gehen");
    EXPECT_EQ(buttons[3]->text(), "Dieses Fenster &schliessen");
    // The order Tab walks: the widgets of the focus chain that take focus by Tab.
    std::vector<QWidget*> tabOrder;
    for (QWidget* w = buttons[0]->nextInFocusChain(); w != buttons[0] && tabOrder.size() < 50;
         w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) != 0 && w->isVisibleTo(form)) {
            tabOrder.push_back(w);
        }
    }
    EXPECT_EQ(tabOrder, (std::vector<QWidget*>{buttons[1], buttons[2], buttons[3]}));
    EXPECT_EQ(Child<QLabel>(form, "Label0")->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(Child<QLabel>(form, "Picture1")->focusPolicy(), Qt::NoFocus);
}

TEST_F(InfoFormTest, TooltipsNameTheTargets) {
    InfoForm* form = ShowInfoForm();
    EXPECT_EQ(
        Child<QPushButton>(form, "Btn0")->toolTip(),
        QStringLiteral(
            "... startet Ihr E-Mail-Programm für eine Nachricht an mich unter ''" VERSALO_SUPPORT_MAIL "''"));
    EXPECT_EQ(Child<QPushButton>(form, "Btn1")->toolTip(),
              QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + kHost + "/new.htm");
    EXPECT_EQ(Child<QPushButton>(form, "Btn2")->toolTip(),
              QStringLiteral("... startet Ihren Internet-Browser mit dem Ziel ") + kHost + "/register/");
    EXPECT_EQ(Child<QPushButton>(form, "Btn3")->toolTip(), "... bringt Sie zurück zum Programm");
}

TEST_F(InfoFormTest, LabelShowsTheInfoTextWithThisYear) {
    InfoForm* form = ShowInfoForm();
    QLabel* label = Child<QLabel>(form, "Label0");
    const QString year = QString::number(QDate::currentDate().year());
    EXPECT_EQ(label->text(), DisplayText(InfoText(year)));
    EXPECT_TRUE(label->text().contains(QStringLiteral("Dateien & Ordnern (V2.6.5)\n\nCopyright")));
    EXPECT_FALSE(label->text().contains(QStringLiteral("&&")));
    EXPECT_FALSE(label->text().contains(QLatin1Char('\r')));
    EXPECT_TRUE(label->text().contains(QStringLiteral(" \u2013 ") + year + QStringLiteral("\n\n")));
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    EXPECT_TRUE(label->wordWrap());
    EXPECT_TRUE(label->autoFillBackground());
    EXPECT_EQ(label->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(label->font().family(), "Arial");
    EXPECT_DOUBLE_EQ(label->font().pointSizeF(), 9.6);
}

TEST_F(InfoFormTest, PictureStripIsShownUnscaledFromTheCorner) {
    InfoForm* form = ShowInfoForm();
    QLabel* picture = Child<QLabel>(form, "Picture1");
    const QPixmap pixmap = picture->pixmap();
    ASSERT_FALSE(pixmap.isNull());
    EXPECT_EQ(pixmap.size(), QSize(157, 552));
    EXPECT_FALSE(picture->hasScaledContents());
    EXPECT_EQ(picture->alignment(), Qt::AlignLeft | Qt::AlignTop);
    EXPECT_EQ(picture->frameShape(), QFrame::Box);
    EXPECT_EQ(picture->lineWidth(), 1);
    // Orange: on average more red than green and more green than blue.
    const QImage image = pixmap.toImage();
    qint64 red = 0, green = 0, blue = 0;
    for (int y = 0; y < image.height(); y += 4) {
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            red += c.red();
            green += c.green();
            blue += c.blue();
        }
    }
    EXPECT_GT(red, green);
    EXPECT_GT(green, blue);
}

TEST_F(InfoFormTest, ShowingTwiceGivesOneDialog) {
    screen = QSize(800, 600);
    InfoForm* first = ShowInfoForm();
    const std::size_t placements = centred.size();
    ASSERT_GT(placements, 0u);
    first->move(10, 20);
    InfoForm* second = ShowInfoForm();
    EXPECT_EQ(first, second);
    EXPECT_EQ(OpenInfoForms(), 1);
    // Brought to the front only: it stays where it is and the load work is not repeated.
    EXPECT_EQ(centred.size(), placements);
    EXPECT_EQ(second->pos(), QPoint(10, 20));
}

TEST_F(InfoFormTest, ClosedDialogIsDeletedAndMadeAgain) {
    screen = QSize(800, 600);
    QPointer<InfoForm> first = ShowInfoForm();
    EXPECT_EQ(first->pos(), QPoint(123, 45));
    first->close();
    FlushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(OpenInfoForms(), 0);
    centred.clear();

    screen = QSize(640, 480);
    InfoForm* second = ShowInfoForm();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(OpenInfoForms(), 1);
    EXPECT_TRUE(centred.empty());
    // The placement was worked out anew, for the new screen.
    EXPECT_EQ(second->pos(), QPoint(0, 0));
}

TEST_F(InfoFormTest, ShowingRightAfterCloseMakesANewDialog) {
    QPointer<InfoForm> first = ShowInfoForm();
    first->close();
    InfoForm* second = ShowInfoForm();
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(OpenInfoForms(), 1);
    FlushDeletes();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(OpenInfoForms(), 1);
}

TEST_F(InfoFormTest, MailButtonOpensTheMailFormWithTheSubject) {
    InfoForm* form = ShowInfoForm();
    Child<QPushButton>(form, "Btn0")->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].scheme(), "mailto");
    EXPECT_EQ(opened[0].path(), VERSALO_SUPPORT_MAIL);
    EXPECT_EQ(opened[0].query(QUrl::FullyDecoded), "subject=Versalo (V2.6.5)");
    EXPECT_EQ(opened[0].toString(QUrl::FullyDecoded), MailTarget());
    EXPECT_TRUE(form->isVisible());
}

TEST_F(InfoFormTest, NewsButtonOpensTheNewsPage) {
    InfoForm* form = ShowInfoForm();
    Child<QPushButton>(form, "Btn1")->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("http://") + kHost + "/new.htm");
    EXPECT_TRUE(form->isVisible());
}

TEST_F(InfoFormTest, RegistrationButtonOpensThePageWithoutClosingSlash) {
    InfoForm* form = ShowInfoForm();
    Child<QPushButton>(form, "Btn2")->click();
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].toString(), QStringLiteral("http://") + kHost + "/register");
    EXPECT_TRUE(form->isVisible());
}

TEST_F(InfoFormTest, CloseButtonClosesWithoutOpeningAnything) {
    QPointer<InfoForm> form = ShowInfoForm();
    Child<QPushButton>(form, "Btn3")->click();
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(form->isVisible());
    FlushDeletes();
    EXPECT_TRUE(form.isNull());
}

TEST_F(InfoFormTest, EscapeDoesNotClose) {
    InfoForm* form = ShowInfoForm();
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(form, &escape);
    EXPECT_TRUE(form->isVisible());
}

}  // namespace
}  // namespace versalo
