// SPDX-License-Identifier: MIT
#include "verdict.h"

QString verdictName(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Pass:
        return QStringLiteral("pass");
    case Verdict::Fail:
        return QStringLiteral("fail");
    case Verdict::Incomplete:
        return QStringLiteral("incomplete");
    case Verdict::None:
        break;
    }
    return {};
}

Verdict combined(Verdict sofar, Verdict next)
{
    for (Verdict rank : {Verdict::Fail, Verdict::Incomplete, Verdict::Pass}) {
        if (sofar == rank || next == rank)
            return rank;
    }
    return Verdict::None;
}

Verdict combined(std::initializer_list<Verdict> verdicts)
{
    Verdict result = Verdict::None;
    for (Verdict verdict : verdicts)
        result = combined(result, verdict);
    return result;
}
