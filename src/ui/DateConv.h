#pragma once
// The program's day-fraction date-times as the toolkit's dates and back.

#include "core/DateTime.h"

#include <QDateTime>

namespace qv {

inline QDateTime ToQDateTime(double dateTime)
{
    const TDateParts d = DecodeDate(dateTime);
    const TTimeParts t = DecodeTime(dateTime);
    return QDateTime(QDate(d.Year, d.Month, d.Day), QTime(t.Hour, t.Minute, t.Second, t.MSec));
}

inline double FromQDate(const QDate& d)
{
    return EncodeDate(d.year(), d.month(), d.day());
}

inline double FromQTime(const QTime& t)
{
    return EncodeTime(t.hour(), t.minute(), t.second(), t.msec());
}

inline double FromQDateTime(const QDateTime& dt)
{
    return FromQDate(dt.date()) + FromQTime(dt.time());
}

} // namespace qv
