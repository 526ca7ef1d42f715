// SPDX-License-Identifier: MIT
// The bench's side of a manometer check: the pressure applied to the cuff
// line while the board is in manometer mode. Three sources, the first that
// is set wins:
// - a request (holdAt): the operator brings the line to one pressure and
//   holds it there until the next request or release(), as a plan's static
//   points are met one at a time when the program asks for them;
// - a list of holds, each held for its own number of steps, worked through
//   by the clock; after the last the line goes down to 0 and the list starts
//   over;
// - else a slow ramp between 0 and kTop and back, again and again.
// The pressure always moves at kStep a step. SimulatedBoard steps the bench
// once a board step and reads its pressure with the board's gauge error.
#pragma once

#include <QList>

#include <optional>

class ManometerBench
{
public:
    static constexpr int kTop = 250;
    static constexpr int kStep = 5;

    struct Hold
    {
        double pressure = 0.0;
        int steps = 1;
    };

    // Pressures are clamped to 0..maxPressure, steps to at least 1; the list
    // starts from its first hold. An empty list restores the ramp.
    explicit ManometerBench(double maxPressure);
    void setHolds(const QList<Hold> &holds);
    QList<Hold> holds() const { return m_holds; }
    // The operator's request; a pressure that is not finite is not taken,
    // the same pressure again changes nothing (its hold goes on).
    void holdAt(double pressure);
    void release();
    std::optional<double> requested() const { return m_requested; }

    // Manometer mode begins: the ramp rises, the list starts from its first
    // hold; a request stands.
    void restart();
    // One step from the line's pressure; returns the new pressure.
    double step(double pressure);

    // The list's hold the line is heading for or standing at; -1 with no
    // list, while the line goes down after the last hold, or on a request.
    int holdIndex() const;
    // The line stands at a hold of the list or at the requested pressure,
    // and has for heldSteps() steps (the step that reached it is the first).
    bool isSteady() const;
    int heldSteps() const { return isSteady() ? m_heldSteps : 0; }

private:
    double stepRequested(double pressure);
    double stepList(double pressure);
    double stepRamp(double pressure);

    double m_maxPressure;
    QList<Hold> m_holds;
    std::optional<double> m_requested;
    bool m_rising = true;
    int m_index = 0; // m_holds.size(): going down to 0 after the last
    int m_heldSteps = 0;
};
