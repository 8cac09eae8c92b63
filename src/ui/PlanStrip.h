#pragma once
// The data plan under the strip: one line with what is used and what remains, over a bar filled by
// the share used in the plan's colour (green, yellow, red); the full account in its tooltip. And
// the tray's picture of a plan: a disc filled like a pie by the share, in the same colour.

#include "app/PlanWatch.h"

#include <QIcon>
#include <QWidget>

namespace qv {

QColor PlanLevelColour(TPlanLevel level);
QIcon PlanIcon(const TPlanView& view);

class TPlanStrip : public QWidget
{
    Q_OBJECT
public:
    static constexpr int Height = 16;
    explicit TPlanStrip(QWidget* parent);
    void SetView(const TPlanView& view);
    const TPlanView& View() const { return FView; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TPlanView FView;
};

} // namespace qv
