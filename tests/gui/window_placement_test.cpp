// Window placement: the stay-on-top band, centring on the screen, and twips.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include "collection/qt/window_placement.h"

namespace versalo {
namespace {

TEST(CenteredOffsetTest, HalfTheDifferenceTruncatedTowardZero) {
    EXPECT_EQ(CenteredOffset(900, 301), 299);
    EXPECT_EQ(CenteredOffset(900, 900), 0);
    EXPECT_EQ(CenteredOffset(900, 901), 0);
    EXPECT_EQ(CenteredOffset(900, 903), -1);
    EXPECT_EQ(CenteredOffset(900, 1100), -100);
}

TEST(TwipsTest, FifteenTwipsMakeAPixel) {
    EXPECT_EQ(TwipsToPixels(2712), 181);
    EXPECT_EQ(TwipsToPixels(3480), 232);
    EXPECT_EQ(TwipsToPixels(1440), 96);
    EXPECT_EQ(TwipsToPixels(7), 0);
    EXPECT_EQ(TwipsToPixels(8), 1);
    EXPECT_EQ(TwipsToPixels(-8), -1);
    EXPECT_EQ(TwipsToPixels(2147483647), 143165576);
    EXPECT_EQ(PixelsToTwips(96), 1440);
}

class PlacementTest : public ::testing::Test {
protected:
    QRect Screen() const { return QGuiApplication::primaryScreen()->geometry(); }
};

TEST_F(PlacementTest, CenterOnScreenPutsTheWindowInTheMiddle) {
    QWidget form;
    form.setFixedSize(301, 201);
    form.move(3, 5);
    form.show();
    CenterOnScreen(&form);
    const QRect frame = form.frameGeometry();
    EXPECT_EQ(frame.x(), Screen().x() + CenteredOffset(Screen().width(), frame.width()));
    EXPECT_EQ(frame.y(), Screen().y() + CenteredOffset(Screen().height(), frame.height()));
    EXPECT_EQ(form.size(), QSize(301, 201));
}

TEST_F(PlacementTest, AWindowLargerThanTheScreenSticksOutOnBothSides) {
    QWidget form;
    form.resize(Screen().width() + 201, 40);
    CenterOnScreen(&form);
    const QRect frame = form.frameGeometry();
    EXPECT_EQ(frame.x(), Screen().x() - (frame.width() - Screen().width()) / 2);
    EXPECT_LT(frame.x(), Screen().x());
    EXPECT_GT(frame.right(), Screen().right());
}

TEST_F(PlacementTest, SetTopMostChangesOnlyTheBand) {
    QWidget form;
    form.setFixedSize(181, 232);
    form.move(120, 80);
    form.show();
    const QRect before = form.geometry();

    SetTopMost(&form, -1);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), before);

    SetTopMost(&form, 0);
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.geometry(), before);

    SetTopMost(&form, 1);  // any value but 0 means on top
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_EQ(form.geometry(), before);
}

TEST_F(PlacementTest, SetTopMostLeavesAHiddenWindowHidden) {
    QWidget form;
    form.setFixedSize(181, 232);
    form.move(50, 60);
    SetTopMost(&form, -1);
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.pos(), QPoint(50, 60));
    EXPECT_EQ(form.size(), QSize(181, 232));
}

}  // namespace
}  // namespace versalo
