#pragma once
// Icons of the tool bars: the desktop's icon theme first (freedesktop names), else an icon of our
// own, so a window looks at home on a themed desktop and still has its pictures without a theme.

#include <QIcon>

namespace qv {

enum class TDrawnIcon
{
    Details,
    Chart,
    Print,
    Pdf,
    Compare,
    Export,
    Import,
    Refresh,
};

// name: a freedesktop icon name ("document-print"); the drawn icon when the theme lacks it.
QIcon ThemeIcon(const char* name, TDrawnIcon fallback);
// Our own icon, drawn at 16, 22 and 32 pixels.
QIcon DrawnIcon(TDrawnIcon kind);

// Black or white, whichever reads better on the background (by its perceived brightness).
QColor ReadableInk(const QColor& background);

} // namespace qv
