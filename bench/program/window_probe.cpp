// SPDX-License-Identifier: MIT
#include "window_probe.h"

#include "monotonic_clock.h"
#include "trace_log.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLabel>
#include <QTimer>
#include <QWidget>
#include <QWindow>

WindowProbe::WindowProbe(QWidget &window, TraceLog &log, bool exitWhenShown, QObject *parent)
    : QObject(parent)
    , m_window(window)
    , m_map(window.findChild<QLabel *>(QStringLiteral("Map")))
    , m_log(log)
    , m_exitWhenShown(exitWhenShown)
{
    // The window's native handle is created by show(); until the first expose
    // the probe listens on the application, then only on the Map field.
    QCoreApplication::instance()->installEventFilter(this);
    if (m_map)
        m_map->installEventFilter(this);
}

bool WindowProbe::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == m_map) {
        m_log.event("paint", MonotonicClock::nowNs());
    } else if (!m_exposed && event->type() == QEvent::Expose &&
               watched == m_window.windowHandle() && m_window.windowHandle()->isExposed()) {
        m_exposed = true;
        m_log.event("expose", MonotonicClock::nowNs());
        QCoreApplication::instance()->removeEventFilter(this);
        // The expose handler paints and flushes the first frame; a zero timer
        // fires once it has returned.
        QTimer::singleShot(0, this, &WindowProbe::onShown);
    }
    return QObject::eventFilter(watched, event);
}

void WindowProbe::onShown()
{
    m_log.event("shown", MonotonicClock::nowNs());
    if (m_exitWhenShown)
        QCoreApplication::exit(0);
}
