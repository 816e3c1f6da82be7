#include "core/CursorBlinkLimit.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

// Counts the ticks of a field's blinking cursor: the timer events of its text control.
class BlinkTicks : public QObject
{
public:
    explicit BlinkTicks(QLineEdit &field)
    {
        for (QObject *child : field.findChildren<QObject *>()) {
            if (qstrcmp(child->metaObject()->className(), "QWidgetLineControl") == 0)
                child->installEventFilter(this);
        }
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Timer)
            ++count;
        return QObject::eventFilter(watched, event);
    }
    int count = 0;
};

class TextCursor : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QApplication::setCursorFlashTime(200);
        field.show();
        field.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&field));
        field.setFocus();
    }
    void TearDown() override { QApplication::setCursorFlashTime(1000); }

    int ticksWithin(int ms)
    {
        BlinkTicks ticks(field);
        QTest::qWait(ms);
        return ticks.count;
    }

    QLineEdit field;
};

TEST_F(TextCursor, BlinksAfterInputAndHoldsStillOnceTheFieldIsLeftAlone)
{
    CursorBlinkLimit limit(300ms);
    EXPECT_GT(ticksWithin(250), 0) << "no blinking while the person is still at it";
    QTest::qWait(200);
    EXPECT_FALSE(limit.blinking());
    EXPECT_EQ(ticksWithin(400), 0) << "the idle field still wakes up to blink";

    QTest::keyClick(&field, Qt::Key_A);
    EXPECT_TRUE(limit.blinking());
    EXPECT_EQ(QApplication::cursorFlashTime(), 200);
    EXPECT_GT(ticksWithin(250), 0) << "typing does not bring the blinking back";
}

TEST_F(TextCursor, EveryKeyPressStartsTheBlinkPeriodAgain)
{
    CursorBlinkLimit limit(300ms);
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(150);
        QTest::keyClick(&field, Qt::Key_B);
    }
    EXPECT_TRUE(limit.blinking()) << "stopped although a key came every 150 ms";
    QTest::qWait(450);
    EXPECT_FALSE(limit.blinking());
}

TEST_F(TextCursor, TheDesktopsBlinkComesBackWhenTheLimitGoes)
{
    {
        CursorBlinkLimit limit(50ms);
        QTest::qWait(150);
        ASSERT_FALSE(limit.blinking());
    }
    EXPECT_EQ(QApplication::cursorFlashTime(), 200);
}

} // namespace
