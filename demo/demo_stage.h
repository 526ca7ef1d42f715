// SPDX-License-Identifier: MIT
// A part of the headless demo that follows its measurement (the free bench
// check, the test plan): DemoDriver starts each once the one before it went
// well, and ends the demo after the last or after one that did not.
// finished() says a stage is done; exitCode() is then 0 when it went well,
// 1 otherwise (the stage has printed why).
#pragma once

#include <QObject>

class DemoStage : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Starts the stage; the panel is idle. Called while the event loop runs.
    virtual void start() = 0;
    virtual int exitCode() const = 0;

signals:
    void finished();
};
