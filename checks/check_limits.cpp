// SPDX-License-Identifier: MIT
#include "check_limits.h"

#include "plain_file_check.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace {

const QString kGroup = QStringLiteral("checks");
// How much of the file is looked through for an unclosed section line.
constexpr int kMaxLinesLooked = 10000;
constexpr qint64 kMaxLineLooked = 4096;

} // namespace

const std::vector<CheckLimits::Key> &CheckLimits::keys()
{
    static const std::vector<Key> table{
        {"static_mmHg", &CheckLimits::staticMmHg, "mmHg", 0.01, 50, false,
         "Static pressure, largest |error|"},
        {"static_window_s", &CheckLimits::staticWindowS, "s", 1, 3600, false,
         "Static point: readings over"},
        {"static_spread_mmHg", &CheckLimits::staticSpreadMmHg, "mmHg", 0.01, 50, false,
         "Static point: largest spread"},
        {"leak_mmHg_per_min", &CheckLimits::leakMmHgPerMin, "mmHg/min", 0.1, 100, false,
         "Leak rate, largest"},
        {"leak_settle_s", &CheckLimits::leakSettleS, "s", 1, 3600, false,
         "Leak test: shortest settling after the peak"},
        // Its stability test compares two spans of SettlingCheck::kBlockS (10 s).
        {"leak_settle_max_s", &CheckLimits::leakSettleMaxS, "s", 20, 3600, false,
         "Leak test: longest settling after the peak"},
        {"leak_window_s", &CheckLimits::leakWindowS, "s", 1, 3600, false, "Leak test: window"},
        {"max_pressure_adult_mmHg", &CheckLimits::maxPressureAdultMmHg, "mmHg", 1, 600, false,
         "Highest cuff pressure, adult"},
        {"max_pressure_neonate_mmHg", &CheckLimits::maxPressureNeonateMmHg, "mmHg", 1, 600, false,
         "Highest cuff pressure, neonate"},
        {"mean_error_mmHg", &CheckLimits::meanErrorMmHg, "mmHg", 0.01, 50, false,
         "Measurements: largest |mean error|"},
        {"sd_mmHg", &CheckLimits::sdMmHg, "mmHg", 0.01, 50, false, "Measurements: largest SD"},
        {"series_min_n", &CheckLimits::seriesMinN, "", 2, 1000, true,
         "Measurements: fewest results"},
        {"inflation_adult_s", &CheckLimits::inflationAdultS, "s", 10, 600, false,
         "Inflation time, longest, adult"},
        {"inflation_neonate_s", &CheckLimits::inflationNeonateS, "s", 10, 600, false,
         "Inflation time, longest, neonate"},
    };
    return table;
}

QString CheckLimits::text(double value)
{
    return QString::number(value, 'g', 12);
}

// The first section line that lacks its closing bracket, as "line 3: [checks";
// empty when there is none (QSettings names no line of a format error).
QString CheckLimits::brokenSection(const QString &file)
{
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return {};
    int number = 0;
    while (!in.atEnd() && number < kMaxLinesLooked) {
        ++number;
        const QString line = QString::fromUtf8(in.readLine(kMaxLineLooked)).trimmed();
        if (line.startsWith(QLatin1Char('[')) && !line.contains(QLatin1Char(']')))
            return QStringLiteral("line %1: %2").arg(number).arg(line);
    }
    return {};
}

// Sets the key of `name` from `raw`; a problem in words when it cannot.
QString CheckLimits::take(const QString &name, const QVariant &raw)
{
    const Key *known = nullptr;
    for (const Key &k : keys()) {
        if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
            known = &k;
    }
    if (!known)
        return QStringLiteral("unknown entry \"%1\" in [checks]").arg(name);
    // An unquoted comma makes QSettings split the value into a list.
    const QString text = raw.typeId() == QMetaType::QStringList
                             ? raw.toStringList().join(QLatin1Char(','))
                             : raw.toString();
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    const bool inRange = ok && std::isfinite(value) && value >= known->low &&
                         value <= known->high && (!known->whole || value == std::floor(value));
    if (inRange) {
        this->*(known->value) = value;
        return {};
    }
    return QStringLiteral("%1=%2 in [checks] is no %3 from %4 to %5%6; the default %7 is used")
        .arg(QLatin1String(known->name), text,
             known->whole ? QStringLiteral("whole number") : QStringLiteral("number"),
             CheckLimits::text(known->low), CheckLimits::text(known->high),
             *known->unit ? QStringLiteral(" ") + QLatin1String(known->unit) : QString(),
             CheckLimits::text(CheckLimits().*(known->value)));
}

// Limits that are each in range but do not fit together.
QString CheckLimits::reconcile()
{
    if (leakSettleMaxS >= leakSettleS)
        return {};
    const QString problem =
        QStringLiteral("leak_settle_max_s=%1 in [checks] is below leak_settle_s=%2; the leak "
                       "test settles for %2 s at most")
            .arg(text(leakSettleMaxS), text(leakSettleS));
    leakSettleMaxS = leakSettleS;
    return problem;
}

CheckLimits CheckLimits::load(const QString &file, QStringList *problems)
{
    CheckLimits limits;
    QStringList found;
    // Looked at before it is opened: a FIFO in its place must not hold up
    // the start.
    const PlainFileCheck check(file);
    if (check.kind() == PlainFileCheck::Kind::Missing)
        return limits;
    if (!check.isPlain() || !QFileInfo(file).isReadable()) {
        const QString why =
            check.isPlain() ? QString() : QStringLiteral(" (%1)").arg(check.reason());
        found << QStringLiteral("%1 could not be read%2; the checks use their default limits")
                     .arg(file, why);
    } else if (const QSettings settings(file, QSettings::IniFormat);
               settings.status() != QSettings::NoError) {
        // QSettings still hands out what it could read (an unclosed "[checks"
        // is taken as the group), but the [ports] group of the same file is
        // not used then: neither are these values.
        const QString line = brokenSection(file);
        found << QStringLiteral("%1 is not a readable settings file%2; the checks use their "
                                "default limits")
                     .arg(file, line.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(line));
    } else {
        const QString prefix = kGroup + QLatin1Char('/');
        for (const QString &key : settings.allKeys()) {
            // Letter case is forgiven, as in the [ports] group.
            if (!key.startsWith(prefix, Qt::CaseInsensitive))
                continue;
            const QString problem = limits.take(key.mid(prefix.size()), settings.value(key));
            if (!problem.isEmpty())
                found << problem;
        }
        const QString problem = limits.reconcile();
        if (!problem.isEmpty())
            found << problem;
    }
    if (problems)
        *problems << found;
    return limits;
}
