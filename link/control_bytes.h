// SPDX-License-Identifier: MIT
// The board link's three control characters. A command frame runs from STX
// to ETX; a reply line runs from STX to CR. Every part of the program that
// builds, cuts or reads frames and lines takes them from here.
#pragma once

class ControlBytes
{
public:
    static constexpr char kStx = '\x02';
    static constexpr char kEtx = '\x03';
    static constexpr char kCr = '\x0d';
};
