#pragma once
// A page of the settings window. Each subsystem adds its own page; the window only knows this
// interface.

#include <QString>
#include <QWidget>

namespace qv {

class TSettingsPage : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;
    virtual QString Title() const = 0;
    // Shows the data as it is now.
    virtual void Load() = 0;
    // Stores what the page shows; false (after the rule's message) keeps the window open on it.
    virtual bool Apply() = 0;
};

} // namespace qv
