#pragma once
// The band editor: one editable time-band bar and the three band buttons that choose what the mouse
// paints; "&OK" keeps the frames.

#include "ui/TimeTableBar.h"

#include <QDialog>
#include <QPushButton>

namespace qv {

class TfmFasce : public QDialog
{
    Q_OBJECT
public:
    // source: the tariff dialog's bar, copied in (title, kind, frames).
    explicit TfmFasce(const TTimeTableBar& source, QWidget* parent = nullptr);
    TTimeTableBarWidget* BarEditor;
    QPushButton* btRidotta;
    QPushButton* btIntera;
    QPushButton* btPunta;
    QPushButton* btOk;
};

} // namespace qv
