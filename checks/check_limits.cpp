// SPDX-License-Identifier: MIT
#include "check_limits.h"

#include "plain_file_check.h"

#include <QFileInfo>
#include <QSettings>

#include <cmath>

namespace {

struct Key
{
    const char *name;
    double CheckLimits::*value;
};

const Key kKeys[] = {
    {"static_mmHg", &CheckLimits::staticMmHg},
    {"leak_mmHg_per_min", &CheckLimits::leakMmHgPerMin},
    {"max_pressure_adult_mmHg", &CheckLimits::maxPressureAdultMmHg},
    {"max_pressure_neonate_mmHg", &CheckLimits::maxPressureNeonateMmHg},
    {"mean_error_mmHg", &CheckLimits::meanErrorMmHg},
    {"sd_mmHg", &CheckLimits::sdMmHg},
    {"leak_settle_s", &CheckLimits::leakSettleS},
    {"leak_window_s", &CheckLimits::leakWindowS},
    {"static_window_s", &CheckLimits::staticWindowS},
    {"static_spread_mmHg", &CheckLimits::staticSpreadMmHg},
};

const QString kGroup = QStringLiteral("checks");

} // namespace

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
    } else {
        const QSettings settings(file, QSettings::IniFormat);
        if (settings.status() != QSettings::NoError)
            found << QStringLiteral("%1 is not a readable settings file; the checks use their "
                                    "default limits")
                         .arg(file);
        const QString prefix = kGroup + QLatin1Char('/');
        for (const QString &key : settings.allKeys()) {
            // Letter case is forgiven, as in the [ports] group.
            if (!key.startsWith(prefix, Qt::CaseInsensitive))
                continue;
            const QString name = key.mid(prefix.size());
            const Key *known = nullptr;
            for (const Key &k : kKeys) {
                if (name.compare(QLatin1String(k.name), Qt::CaseInsensitive) == 0)
                    known = &k;
            }
            if (!known) {
                found << QStringLiteral("unknown entry \"%1\" in [checks]").arg(name);
                continue;
            }
            // An unquoted comma makes QSettings split the value into a list.
            const QVariant raw = settings.value(key);
            const QString text = raw.typeId() == QMetaType::QStringList
                                     ? raw.toStringList().join(QLatin1Char(','))
                                     : raw.toString();
            bool ok = false;
            const double value = text.trimmed().toDouble(&ok);
            if (!ok || !std::isfinite(value) || value <= 0) {
                found << QStringLiteral("%1=%2 in [checks] is no number above 0; the default "
                                        "%3 is used")
                             .arg(QLatin1String(known->name), text)
                             .arg(limits.*(known->value));
                continue;
            }
            limits.*(known->value) = value;
        }
    }
    if (problems)
        *problems << found;
    return limits;
}
