#include "core/widgets/CursorBlinkLimit.h"

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
    EXPECT_TRUE(QTest::qWaitFor([&] { return !limit.blinking(); }, 3000));
    EXPECT_EQ(ticksWithin(400), 0) << "the idle field still wakes up to blink";

    QTest::keyClick(&field, Qt::Key_A);
    EXPECT_TRUE(limit.blinking());
    EXPECT_EQ(QApplication::cursorFlashTime(), 200);
    EXPECT_GT(ticksWithin(250), 0) << "typing does not bring the blinking back";
}

TEST_F(TextCursor, EveryKeyPressStartsTheBlinkPeriodAgain)
{
    CursorBlinkLimit limit(800ms);
    for (int i = 0; i < 6; ++i) {
        QTest::qWait(200);
        QTest::keyClick(&field, Qt::Key_B);
    }
    EXPECT_TRUE(limit.blinking()) << "stopped although a key came every 200 ms";
    EXPECT_TRUE(QTest::qWaitFor([&] { return !limit.blinking(); }, 3000));
}

TEST_F(TextCursor, TheDesktopsBlinkComesBackWhenTheLimitGoes)
{
    {
        CursorBlinkLimit limit(50ms);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !limit.blinking(); }, 3000));
    }
    EXPECT_EQ(QApplication::cursorFlashTime(), 200);
}

} // namespace
