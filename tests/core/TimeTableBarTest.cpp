// The time-band bar: painting frames over a day, the pixel grid, labels and the range rules.
#include "TestSupport.h"
#include "core/Errors.h"
#include "skins/TimeTableBar.h"
#include "tariffs/Bands.h"

#include <gtest/gtest.h>
#include <random>

using namespace qv;
using namespace qv::test;

namespace {

double H(int h, int n = 0)
{
    return EncodeTime(h, n, 0, 0);
}

struct TBarFixture : testing::Test
{
    TTimeTableBar Bar;
    int Changes = 0;
    TBarFixture()
    {
        Bar.Editable = true;
        Bar.OnChange = [this] { ++Changes; };
    }
    void ExpectFrames(const std::vector<TTimeFrame>& expected)
    {
        ASSERT_EQ(Bar.Count(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i) {
            EXPECT_DOUBLE_EQ(Bar.Frame(i).DateBegin, expected[i].DateBegin) << "frame " << i;
            EXPECT_DOUBLE_EQ(Bar.Frame(i).DateEnd, expected[i].DateEnd) << "frame " << i;
            EXPECT_EQ(Bar.Frame(i).Color, expected[i].Color) << "frame " << i;
        }
    }
    // Every frame begins where the previous ends, from 00:00 to the end of the day.
    void ExpectPartition()
    {
        ASSERT_GT(Bar.Count(), 0u);
        EXPECT_EQ(Bar.Frame(0).DateBegin, 0.0);
        for (std::size_t i = 0; i < Bar.Count(); ++i) {
            EXPECT_LT(Bar.Frame(i).DateBegin, Bar.Frame(i).DateEnd) << "frame " << i;
            if (i > 0) {
                EXPECT_EQ(Bar.Frame(i).DateBegin, Bar.Frame(i - 1).DateEnd) << "frame " << i;
            }
        }
        EXPECT_EQ(Bar.Frame(Bar.Count() - 1).DateEnd, EndOfDay);
    }
};

} // namespace

TEST_F(TBarFixture, PaintingSplitsExtendsAndMergesFrames)
{
    ExpectFrames({{0, EndOfDay, clYellow}});
    Bar.InsertFrame(H(12), H(14), clRed);
    ExpectFrames({{0, H(12), clYellow}, {H(12), H(14), clRed}, {H(14), EndOfDay, clYellow}});
    Bar.InsertFrame(H(13), H(15), clRed);
    ExpectFrames({{0, H(12), clYellow}, {H(12), H(15), clRed}, {H(15), EndOfDay, clYellow}});
    Bar.InsertFrame(H(11), H(16), clYellow);
    ExpectFrames({{0, EndOfDay, clYellow}});
    EXPECT_EQ(Changes, 3);
    // Inside a frame of the same colour: nothing changes.
    Bar.InsertFrame(H(2), H(3), clYellow);
    ExpectFrames({{0, EndOfDay, clYellow}});
}

TEST_F(TBarFixture, AClickWithoutDraggingChangesNothing)
{
    Bar.MouseDown(288, 576);
    EXPECT_TRUE(Bar.Painting());
    Bar.MouseUp(288, 576);
    ExpectFrames({{0, EndOfDay, clYellow}});
    EXPECT_EQ(Changes, 0);
    // Leaving the control while painting discards the frame.
    Bar.NewFrameColor = clRed;
    Bar.MouseDown(100, 576);
    Bar.MouseLeave();
    EXPECT_FALSE(Bar.Painting());
    ExpectFrames({{0, EndOfDay, clYellow}});
    // A bar that is not editable ignores the mouse.
    Bar.Editable = false;
    Bar.MouseDown(10, 576);
    Bar.MouseUp(300, 576);
    ExpectFrames({{0, EndOfDay, clYellow}});
}

TEST_F(TBarFixture, RightToLeftEqualsLeftToRight)
{
    TTimeTableBar other;
    other.Editable = true;
    Bar.NewFrameColor = other.NewFrameColor = clLime;
    Bar.MouseDown(100, 576);
    Bar.MouseUp(400, 576);
    other.MouseDown(400, 576);
    other.MouseUp(100, 576);
    ASSERT_EQ(Bar.Frames().size(), 3u);
    ASSERT_EQ(other.Frames().size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Bar.Frame(i).DateBegin, other.Frame(i).DateBegin);
        EXPECT_EQ(Bar.Frame(i).DateEnd, other.Frame(i).DateEnd);
        EXPECT_EQ(Bar.Frame(i).Color, other.Frame(i).Color);
    }
    EXPECT_EQ(Bar.Frame(1).Color, clLime);
    EXPECT_EQ(Bar.Frame(1).DateBegin, H(4, 10)); // 100 px -> 50 steps of 5 min
}

TEST_F(TBarFixture, PixelsMapToTheFiveMinuteGrid)
{
    EXPECT_EQ(Bar.TimeAt(0, 576), 0.0);
    EXPECT_EQ(Bar.TimeAt(288, 576), H(12));
    EXPECT_EQ(Bar.TimeAt(287, 576), H(11, 55));
    EXPECT_EQ(Bar.TimeAt(2, 576), H(0, 5));
    EXPECT_EQ(Bar.TimeAt(574, 576), EndOfDay);
    EXPECT_EQ(Bar.TimeAt(600, 576), EndOfDay);
    EXPECT_EQ(Bar.TimeAt(573, 576), H(23, 55));
}

TEST_F(TBarFixture, AFrameThatSharesABoundaryWithThePaintIsNotLeftOverlappingIt)
{
    Bar.InsertFrame(H(10), H(12), clRed);
    // Green from the red frame's start to past its end: the red frame is covered whole.
    Bar.InsertFrame(H(10), H(13), clLime);
    ExpectFrames({{0, H(10), clYellow}, {H(10), H(13), clLime}, {H(13), EndOfDay, clYellow}});
    // The whole day in one colour.
    Bar.InsertFrame(0, EndOfDay, clRed);
    ExpectFrames({{0, EndOfDay, clRed}});
}

TEST_F(TBarFixture, RandomPaintsKeepTheDayCoveredWithoutGapOrOverlap)
{
    std::mt19937 rng(20261209);
    const std::uint32_t colours[] = {clLime, clYellow, clRed};
    std::uniform_int_distribution<int> px(-5, 590);
    std::uniform_int_distribution<int> colour(0, 2);
    for (int i = 0; i < 3000; ++i) {
        Bar.NewFrameColor = colours[colour(rng)];
        Bar.MouseDown(std::max(0, px(rng)), 576);
        if (i % 50 == 7)
            Bar.MouseLeave();
        else
            Bar.MouseUp(px(rng), 576);
        ExpectPartition();
        if (HasFailure())
            FAIL() << "after paint " << i;
    }
}

TEST_F(TBarFixture, LabelsAlternateAndTheDayEndHasItsOwn)
{
    Bar.InsertFrame(H(8), H(18, 30), clRed);
    const auto labels = Bar.Labels(576);
    ASSERT_EQ(labels.size(), 4u);
    EXPECT_EQ(labels[0].Text, "0:00");
    EXPECT_TRUE(labels[0].AtTop);
    EXPECT_EQ(labels[1].Text, "8:00");
    EXPECT_FALSE(labels[1].AtTop);
    EXPECT_EQ(labels[1].RightEdge, 192);
    EXPECT_EQ(labels[2].Text, "18:30");
    EXPECT_TRUE(labels[2].AtTop);
    EXPECT_TRUE(labels[3].IsEnd);
    EXPECT_EQ(labels[3].Text, "23:59");
    EXPECT_FALSE(labels[3].AtTop);
    // The geometry of the middle frame.
    EXPECT_EQ(Bar.FrameRect(1, 576).Left, 192);
    EXPECT_EQ(Bar.FrameRect(1, 576).Width, 252);
}

TEST_F(TBarFixture, PeriodModeAndTheRangeRules)
{
    TTimeTableBar bar([] { return At(2026, 12, 9, 10, 30); });
    bar.SetKind(kiPeriod);
    EXPECT_EQ(bar.Count(), 0u);
    EXPECT_EQ(bar.DateTimeBegin(), At(2026, 12, 9, 10, 30));
    EXPECT_EQ(bar.DateTimeEnd(), At(2026, 12, 10, 10, 30));
    EXPECT_EQ(bar.StepTime(), 1);
    bar.AddFrame(bar.DateTimeBegin(), bar.DateTimeEnd(), clRed);
    const auto labels = bar.Labels(576);
    ASSERT_EQ(labels.size(), 1u); // no end label in period mode
    EXPECT_EQ(labels[0].Text, "9 dic 10:30");
    EXPECT_EQ(bar.TimeAt(287, 576), At(2026, 12, 9, 22, 30));
    EXPECT_THROW(
        {
            try {
                bar.SetDateTimeBegin(At(2026, 12, 11));
            } catch (const EQvError& e) {
                EXPECT_STREQ(e.what(), "La data iniziale deve essere minore di quella finale");
                throw;
            }
        },
        EQvError);
    EXPECT_THROW(
        {
            try {
                bar.SetDateTimeEnd(At(2026, 12, 8));
            } catch (const EQvError& e) {
                EXPECT_STREQ(e.what(), "La data finale deve essere maggiore di quella iniziale");
                throw;
            }
        },
        EQvError);
    EXPECT_EQ(bar.DateTimeBegin(), At(2026, 12, 9, 10, 30));
    try {
        bar.FrameAt(At(2026, 12, 12, 7, 5));
        FAIL();
    } catch (const EQvError& e) {
        EXPECT_STREQ(e.what(), "L'orario 7.05 non rientra in nessuna fascia!");
    }
    // Back to a day: no frames, the five-minute grid.
    bar.SetKind(kiDay);
    EXPECT_EQ(bar.Count(), 0u);
    EXPECT_EQ(bar.StepTime(), 5);
    EXPECT_EQ(bar.DateTimeEnd(), EndOfDay);
}

TEST_F(TBarFixture, CopyTakesTitleKindAndFramesAndRaisesAChange)
{
    TTimeTableBar source;
    source.Title = "Sabato";
    source.InsertFrame(H(8), H(13), clYellow == source.Frame(0).Color ? clLime : clYellow);
    Bar.CopyFrom(source);
    EXPECT_EQ(Bar.Title, "Sabato");
    EXPECT_EQ(Bar.Count(), 3u);
    EXPECT_EQ(Bar.Frame(1).Color, clLime);
    EXPECT_EQ(Changes, 1);
}
