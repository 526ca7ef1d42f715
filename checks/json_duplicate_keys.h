// SPDX-License-Identifier: MIT
// A key given twice in one object of a JSON text. QJsonDocument keeps the
// last of them without a word; a controlled document (a test plan) must not
// say one thing to its reader and another to the program. Run on a text
// QJsonDocument has read without error: it walks the text as it stands and
// names the key by its path, as TestPlan names every key
// ("steps[0].leak.hold_min_mmHg").
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

class JsonDuplicateKeys
{
public:
    // The path of the first key given twice; none when every key is given once.
    static std::optional<QString> first(const QByteArray &json);
};
