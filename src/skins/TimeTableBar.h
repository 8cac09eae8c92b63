#pragma once
// The rules of the time-band bar: a span of time (one day, or any date-time range) divided into
// coloured frames without gap or overlap, repainted with the mouse. The Qt control draws what this
// class computes and feeds it the mouse.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qv {

enum TKindInterval
{
    kiDay,
    kiPeriod
};

// Colours are Windows RGB values (red in the low byte), as the tariffs' band colours are.
constexpr std::uint32_t clLime = 0x00FF00;
constexpr std::uint32_t clYellow = 0x00FFFF;
constexpr std::uint32_t clRed = 0x0000FF;
constexpr std::uint32_t clAqua = 0xFFFF00;

struct TTimeFrame
{
    double DateBegin = 0;
    double DateEnd = 0;
    std::uint32_t Color = clYellow;
    // The day-mode view of the same values.
    double TimeBegin() const { return DateBegin; }
    double TimeEnd() const { return DateEnd; }
};

class TTimeTableBar
{
public:
    // now: the current date-time, for the range a switch to period mode starts from.
    explicit TTimeTableBar(std::function<double()> now = {});

    std::string Title;
    std::uint32_t NewFrameColor = clYellow;
    bool Editable = false;
    std::uint32_t ForeColor() const { return FForeColor; }
    void SetForeColor(std::uint32_t c);
    std::uint32_t BackColor() const { return FBackColor; }
    void SetBackColor(std::uint32_t c);

    TKindInterval Kind() const { return FKind; }
    // A change of kind removes every frame and sets the range and the step of the new kind.
    void SetKind(TKindInterval kind);
    int StepTime() const { return FStepTime; }
    void SetStepTime(int minutes);
    double DateTimeBegin() const { return FBegin; }
    double DateTimeEnd() const { return FEnd; }
    // Raise "La data iniziale deve essere minore di quella finale" / "La data finale deve essere
    // maggiore di quella iniziale" and keep the old value.
    void SetDateTimeBegin(double value);
    void SetDateTimeEnd(double value);

    std::size_t Count() const { return FFrames.size(); }
    const TTimeFrame& Frame(std::size_t i) const { return *FFrames.at(i); }
    std::vector<TTimeFrame> Frames() const;
    // Replaces the frames (the tariff dialogs load a timetable this way); raises no change.
    void SetFrames(const std::vector<TTimeFrame>& frames);
    void AddFrame(double begin, double end, std::uint32_t color);
    // Takes the title, the kind and every frame of another bar, then raises OnChange.
    void CopyFrom(const TTimeTableBar& other);

    // The first frame (in list order, other than except) with begin <= time <= end; raises
    // "L'orario h.nn non rientra in nessuna fascia!" when there is none.
    std::size_t FrameAt(double time, const TTimeFrame* except = nullptr) const;
    // The time at a horizontal pixel of a bar barWidth pixels wide.
    double TimeAt(int x, int barWidth) const;
    // Merges a frame into the others; a frame of no length changes nothing.
    void InsertFrame(double begin, double end, std::uint32_t color);

    // ---- drawing ----
    struct TFrameRect
    {
        int Left;
        int Width;
    };
    TFrameRect FrameRect(std::size_t i, int barWidth) const;
    struct TLabel
    {
        std::string Text;
        int RightEdge;     // the label is right-aligned at this pixel
        bool AtTop;        // under the title strip, else at the bottom of the bar
        bool IsEnd;        // an end label: kept 2 pixels inside the right border
    };
    std::vector<TLabel> Labels(int barWidth) const;
    // "h:nn" in day mode, "d mmm h:nn" in period mode.
    std::string TimeText(double time) const;

    // ---- painting with the mouse (only when Editable) ----
    void MouseDown(int x, int barWidth);
    void MouseUp(int x, int barWidth);
    // The pointer left the control while painting: the new frame is discarded.
    void MouseLeave();
    bool Painting() const { return FPainting != nullptr; }

    std::function<void()> OnChange;
    // Any change that needs a repaint (frames, colours, range).
    std::function<void()> OnRepaint;

private:
    void Changed();
    void Repaint();
    void Remove(const TTimeFrame* f);
    // The frame that holds a moment from its begin up to (not including) its end, the range end
    // belonging to the last one; fromLeft false: from after its begin up to its end.
    TTimeFrame* HolderOf(double time, const TTimeFrame* except, bool fromLeft) const;
    std::function<double()> FNow;
    std::vector<std::unique_ptr<TTimeFrame>> FFrames;
    std::uint32_t FForeColor = clYellow;
    std::uint32_t FBackColor = clAqua;
    TKindInterval FKind = kiDay;
    int FStepTime = 5;
    double FStep;
    double FBegin = 0;
    double FEnd;
    TTimeFrame* FPainting = nullptr;
};

} // namespace qv
