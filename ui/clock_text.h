// SPDX-License-Identifier: MIT
// The status-bar clock's text: the time of day in the locale's long time
// format (hours, minutes, seconds, 12- or 24-hour as the locale has it), with
// the time-zone name that Qt's long format carries left out.
#pragma once

#include <QLocale>
#include <QString>
#include <QTime>

namespace ClockText {

// A time format with every time-zone field ('t' outside quotes) removed,
// together with the blanks that separated it from the rest.
QString withoutTimeZone(const QString &format);
// The locale's long time format without its time-zone field.
QString format(const QLocale &locale);
QString text(const QTime &time, const QLocale &locale);

} // namespace ClockText
