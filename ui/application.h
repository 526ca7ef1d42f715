// <QApplication> for code that also sees the panel's Display interface. On X11
// builds Qt's application header declares Xlib's `Display` type in the global
// namespace, which clashes with the panel's Display class; the Xlib name is
// renamed while the header is read. Include this first, before <QApplication>
// or <QtTest>, in every file that also includes display.h.
#pragma once

#define Display XlibDisplay
#include <QApplication>
#undef Display
