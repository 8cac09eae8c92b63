#include "skins/TimeTableBar.h"

#include "core/DateTime.h"
#include "core/Errors.h"
#include "tariffs/Bands.h"

#include <algorithm>
#include <cmath>

namespace qv {

namespace {

constexpr double FiveMinutes = 5.0 / 1440.0;

// The date-time with its seconds and milliseconds dropped (hour, minute and date kept).
double DropSeconds(double t)
{
    const TDecodedMs d = DecodeMs(t);
    const std::int64_t ms = d.MsOfDay - d.MsOfDay % 60000;
    return static_cast<double>(d.Day) + static_cast<double>(ms) / static_cast<double>(MSecsPerDay);
}

[[noreturn]] void NoBandAt(double time)
{
    throw EQvError("L'orario " + FormatDateTime("h.nn", time) + " non rientra in nessuna fascia!");
}

} // namespace

TTimeTableBar::TTimeTableBar(std::function<double()> now) : FNow(std::move(now)), FStep(FiveMinutes), FEnd(EndOfDay)
{
    AddFrame(FBegin, FEnd, FForeColor);
}

void TTimeTableBar::Changed()
{
    Repaint();
    if (OnChange)
        OnChange();
}

void TTimeTableBar::Repaint()
{
    if (OnRepaint)
        OnRepaint();
}

void TTimeTableBar::SetForeColor(std::uint32_t c)
{
    if (c == FForeColor)
        return;
    FForeColor = c;
    Changed();
}

void TTimeTableBar::SetBackColor(std::uint32_t c)
{
    if (c == FBackColor)
        return;
    FBackColor = c;
    Changed();
}

void TTimeTableBar::SetKind(TKindInterval kind)
{
    if (kind == FKind)
        return;
    FKind = kind;
    FFrames.clear();
    FPainting = nullptr;
    if (kind == kiPeriod) {
        const double now = FNow ? FNow() : 0.0;
        FBegin = now;
        FEnd = now + 1;
        FStepTime = 1;
        FStep = 1;
    } else {
        FStepTime = 5;
        FStep = FiveMinutes;
        FBegin = 0;
        FEnd = EndOfDay;
    }
    Repaint();
}

void TTimeTableBar::SetStepTime(int minutes)
{
    FStepTime = minutes;
    FStep = minutes / 1440.0;
}

void TTimeTableBar::SetDateTimeBegin(double value)
{
    if (value > FEnd)
        throw EQvError("La data iniziale deve essere minore di quella finale");
    FBegin = value;
    Repaint();
}

void TTimeTableBar::SetDateTimeEnd(double value)
{
    if (value < FBegin)
        throw EQvError("La data finale deve essere maggiore di quella iniziale");
    FEnd = value;
    Repaint();
}

std::vector<TTimeFrame> TTimeTableBar::Frames() const
{
    std::vector<TTimeFrame> out;
    out.reserve(FFrames.size());
    for (const auto& f : FFrames)
        out.push_back(*f);
    return out;
}

void TTimeTableBar::SetFrames(const std::vector<TTimeFrame>& frames)
{
    FFrames.clear();
    FPainting = nullptr;
    for (const TTimeFrame& f : frames)
        FFrames.push_back(std::make_unique<TTimeFrame>(f));
    Repaint();
}

void TTimeTableBar::AddFrame(double begin, double end, std::uint32_t color)
{
    FFrames.push_back(std::make_unique<TTimeFrame>(TTimeFrame{begin, end, color}));
    Repaint();
}

void TTimeTableBar::CopyFrom(const TTimeTableBar& other)
{
    FFrames.clear();
    FPainting = nullptr;
    Title = other.Title;
    SetKind(other.Kind());
    FBegin = other.FBegin;
    FEnd = other.FEnd;
    for (const auto& f : other.FFrames)
        FFrames.push_back(std::make_unique<TTimeFrame>(*f));
    Changed();
}

std::size_t TTimeTableBar::FrameAt(double time, const TTimeFrame* except) const
{
    for (std::size_t i = 0; i < FFrames.size(); ++i) {
        const TTimeFrame* f = FFrames[i].get();
        if (f != except && f->DateBegin <= time && time <= f->DateEnd)
            return i;
    }
    NoBandAt(time);
}

TTimeFrame* TTimeTableBar::HolderOf(double time, const TTimeFrame* except, bool fromLeft) const
{
    for (const auto& f : FFrames) {
        if (f.get() == except)
            continue;
        const bool holds = fromLeft ? (f->DateBegin <= time && (time < f->DateEnd || (time >= FEnd && f->DateEnd >= FEnd)))
                                    : ((f->DateBegin < time || (time <= FBegin && f->DateBegin <= FBegin)) &&
                                       time <= f->DateEnd);
        if (holds)
            return f.get();
    }
    NoBandAt(time);
}

double TTimeTableBar::TimeAt(int x, int barWidth) const
{
    if (x == 0)
        return FBegin;
    if (x >= barWidth - 2)
        return FEnd;
    const double t = static_cast<double>(x) / static_cast<double>(barWidth - 2) * (FEnd - FBegin);
    // In day mode the time falls on the painting grid; a tiny tolerance keeps a pixel that lands
    // exactly on a step from rounding down to the one before.
    const double steps = FKind == kiDay ? std::floor(t / FStep + 1e-9) : t / FStep;
    return DropSeconds(std::abs(steps * FStep) + FBegin);
}

void TTimeTableBar::Remove(const TTimeFrame* f)
{
    if (f == FPainting)
        FPainting = nullptr;
    const auto it = std::find_if(FFrames.begin(), FFrames.end(), [f](const auto& p) { return p.get() == f; });
    if (it != FFrames.end())
        FFrames.erase(it);
}

void TTimeTableBar::InsertFrame(double begin, double end, std::uint32_t color)
{
    FFrames.push_back(std::make_unique<TTimeFrame>(TTimeFrame{begin, end, color}));
    TTimeFrame* p = FFrames.back().get();
    if (p->DateBegin == p->DateEnd) {
        Remove(p);
        Repaint();
        return;
    }
    if (p->DateBegin > p->DateEnd)
        std::swap(p->DateBegin, p->DateEnd);
    // Frames wholly inside the painted span go.
    for (std::size_t i = FFrames.size(); i-- > 0;) {
        TTimeFrame* f = FFrames[i].get();
        if (f != p && p->DateBegin < f->DateBegin && f->DateEnd < p->DateEnd)
            FFrames.erase(FFrames.begin() + static_cast<std::ptrdiff_t>(i));
    }
    // The frames holding the two ends. At a boundary between two frames the start belongs to the
    // frame that begins there and the end to the frame that ends there, so a frame that shares one
    // end with the painted span and lies inside it is cut away rather than left overlapping it.
    TTimeFrame* f1 = HolderOf(p->DateBegin, p, true);
    TTimeFrame* f2 = HolderOf(p->DateEnd, p, false);
    const std::uint32_t c = p->Color;
    const auto dropIfEmpty = [this](TTimeFrame* f) {
        if (f->DateBegin == f->DateEnd)
            Remove(f);
    };
    if (f1 == f2) {
        if (f1->Color == c) {
            Remove(p);
        } else {
            FFrames.push_back(std::make_unique<TTimeFrame>(*f1));
            TTimeFrame* f3 = FFrames.back().get();
            f1->DateEnd = p->DateBegin;
            f3->DateBegin = p->DateEnd;
            dropIfEmpty(f1);
            dropIfEmpty(f3);
        }
    } else if (f1->Color == c && f2->Color == c) {
        f1->DateEnd = f2->DateEnd;
        Remove(f2);
        Remove(p);
    } else if (f1->Color == c) {
        f1->DateEnd = p->DateEnd;
        f2->DateBegin = p->DateEnd;
        Remove(p);
        dropIfEmpty(f2);
    } else if (f2->Color == c) {
        f2->DateBegin = p->DateBegin;
        f1->DateEnd = p->DateBegin;
        Remove(p);
        dropIfEmpty(f1);
    } else {
        f1->DateEnd = p->DateBegin;
        f2->DateBegin = p->DateEnd;
        dropIfEmpty(f1);
        dropIfEmpty(f2);
    }
    std::stable_sort(FFrames.begin(), FFrames.end(),
                     [](const auto& a, const auto& b) { return a->DateBegin < b->DateBegin; });
    Changed();
}

TTimeTableBar::TFrameRect TTimeTableBar::FrameRect(std::size_t i, int barWidth) const
{
    const TTimeFrame& f = *FFrames.at(i);
    const double w = barWidth;
    if (FKind == kiDay)
        return {static_cast<int>(w * Frac(f.DateBegin)), static_cast<int>(w * Frac(f.DateEnd - f.DateBegin))};
    const double len = FEnd - FBegin;
    return {static_cast<int>(w * (f.DateBegin - FBegin) / len), static_cast<int>(w * (f.DateEnd - f.DateBegin) / len)};
}

std::string TTimeTableBar::TimeText(double time) const
{
    return FormatDateTime(FKind == kiDay ? "h:nn" : "d mmm h:nn", time);
}

std::vector<TTimeTableBar::TLabel> TTimeTableBar::Labels(int barWidth) const
{
    std::vector<TLabel> labels;
    for (std::size_t i = 0; i < FFrames.size(); ++i) {
        const TTimeFrame& f = *FFrames[i];
        const TFrameRect r = FrameRect(i, barWidth);
        const bool even = i % 2 == 0;
        labels.push_back({TimeText(f.DateBegin), r.Left, even, false});
        if (f.DateEnd == EndOfDay)
            labels.push_back({FormatDateTime(FKind == kiDay ? "h:mm" : "d mmm h:nn", f.DateEnd), r.Left + r.Width,
                              !even, true});
    }
    return labels;
}

void TTimeTableBar::MouseDown(int x, int barWidth)
{
    if (!Editable || FPainting)
        return;
    const double t = TimeAt(x, barWidth);
    FFrames.push_back(std::make_unique<TTimeFrame>(TTimeFrame{t, t, NewFrameColor}));
    FPainting = FFrames.back().get();
    Repaint();
}

void TTimeTableBar::MouseUp(int x, int barWidth)
{
    if (!FPainting)
        return;
    const TTimeFrame painted{FPainting->DateBegin, TimeAt(x, barWidth), FPainting->Color};
    Remove(FPainting);
    InsertFrame(painted.DateBegin, painted.DateEnd, painted.Color);
}

void TTimeTableBar::MouseLeave()
{
    if (!FPainting)
        return;
    Remove(FPainting);
    Repaint();
}

} // namespace qv
