// SPDX-License-Identifier: MIT
// tarnvik-sim: runs one simulated board until it is stopped. By default the
// board sits behind a new pseudo-terminal whose device path is printed as the
// first line on standard output, for the program (or a demo) to open as its
// serial port; --device puts it on an existing terminal device instead. The
// bench-check options give the board a set leak test (hold pressure, rate,
// cooling), manometer holds with a gauge error, results around a set point,
// an over-pressure fault, a stalled deflation or a board that falls silent.
#include "board_terminal.h"
#include "pseudo_terminal.h"
#include "simulated_board.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <termios.h>
#include <unistd.h>

namespace {

// What the command line asks for.
struct Settings
{
    double scale = 1.0;
    quint32 seed = 0;
    double failureRate = 0.1;
    std::optional<double> leakRate;
    std::optional<int> leakHold;
    double overshoot = 0.0;
    double overshootSeconds = SimulatedBoard::kDefaultOvershootSeconds;
    QList<SimulatedBoard::ManometerHold> holds;
    double holdSeconds = 10.0;
    double gaugeGain = 1.0;
    double gaugeOffset = 0.0;
    std::optional<SimulatedBoard::SetPoint> setPoint;
    std::optional<int> overPressure;
    std::optional<double> stallSeconds;
    std::optional<double> silentAfter;
};

// The terminal the board talks over: a new pseudo-terminal or a device.
struct Line
{
    std::unique_ptr<PseudoTerminal> terminal;
    int fd = -1;
    QString path;
};

// Opens a terminal device raw at 4800 baud; -1 when it cannot be opened.
int openDevice(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios tio{};
    if (::tcgetattr(fd, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetispeed(&tio, B4800);
        ::cfsetospeed(&tio, B4800);
        ::tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

QString printable(const QString &text)
{
    QString out;
    for (const QChar c : text)
        out += c.unicode() < 0x20 ? QStringLiteral("<%1>").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                                  : QString(c);
    return out;
}

QCommandLineOption option(const QStringList &names, const char *help, const char *value = nullptr,
                          const char *byDefault = nullptr)
{
    return QCommandLineOption(names, QString::fromLatin1(help),
                              value ? QString::fromLatin1(value) : QString(),
                              byDefault ? QString::fromLatin1(byDefault) : QString());
}

void addOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(QStringLiteral("Simulated NIBP board on a pseudo-terminal."));
    parser.addHelpOption();
    parser.addOptions({
        option({"s", "time-scale"}, "Run <factor> times faster than real time.", "factor", "1"),
        option({"seed"}, "Seed for repeatable runs (default: random).", "n"),
        option({"f", "failure-rate"}, "Share of measurements that end with 999, 0 to 1.", "rate",
               "0.1"),
        option({"d", "device"}, "Use this terminal device instead of a new pseudo-terminal.",
               "path"),
        option({"v", "verbose"}, "Log commands and lines on stderr."),
        option({"leak-rate"}, "Leak test loses <mmHg> a minute (default: drawn, 2 to 10).", "mmHg"),
        option({"leak-hold"},
               "Leak test pumps to and holds <mmHg>, 1 to 998 (default 200, neonate 120).", "mmHg"),
        option({"leak-overshoot"},
               "After the leak test's pump-up the cuff cools and loses a further <mmHg> (0 to "
               "100).",
               "mmHg"),
        option({"overshoot-seconds"}, "Time constant of that cooling, 0.25 to 600 (default 2.5).",
               "s", "2.5"),
        option({"manometer-holds"},
               "In manometer mode hold these pressures in turn, each for its own seconds or "
               "--hold-seconds, e.g. 250:20,200,150:5 (0 to 998).",
               "P[:S],..."),
        option({"hold-seconds"}, "Hold a manometer pressure this long by default (10).", "s", "10"),
        option({"gauge-gain"}, "Manometer reading = gain * applied + offset.", "gain", "1"),
        option({"gauge-offset"}, "Offset of the manometer reading, mmHg.", "mmHg", "0"),
        option({"set-point"}, "Results around SYS/DIA[/PULSE] instead of drawn patients.",
               "sys/dia[/pulse]"),
        option({"spread"}, "Standard deviation of the results around the set point.", "mmHg", "0"),
        option({"over-pressure"}, "Fault: pump every measurement on to <peak> (1 to 998).", "peak"),
        option({"stall-seconds"},
               "Fault: the deflation stalls, so every measurement's cuff stays above 15 mmHg "
               "(neonate 5) for <s> seconds of board time.",
               "s"),
        option({"silent-after"},
               "Fall silent (take no command, send no line) after <s> seconds of board time; 0: "
               "from the start.",
               "s"),
    });
}

// A number from an option, or nothing (with a message) when it is not one or
// lies outside [low, high].
std::optional<double> number(const QCommandLineParser &parser, const char *name, double low,
                             double high, QTextStream &err)
{
    bool ok = false;
    const double value = parser.value(QString::fromLatin1(name)).toDouble(&ok);
    if (ok && std::isfinite(value) && value >= low && value <= high)
        return value;
    err << "tarnvik-sim: --" << name << " must be a number from " << low << " to " << high << "\n";
    return std::nullopt;
}

// A whole number from an option, as number() does.
std::optional<int> wholeNumber(const QCommandLineParser &parser, const char *name, int low,
                               int high, QTextStream &err)
{
    bool ok = false;
    const int value = parser.value(QString::fromLatin1(name)).toInt(&ok);
    if (ok && value >= low && value <= high)
        return value;
    err << "tarnvik-sim: --" << name << " must be a whole number from " << low << " to " << high
        << "\n";
    return std::nullopt;
}

// "250:20,200,150:5": pressures from 0 to the highest a line shows, each held
// for its own seconds (0.25 to 86400) or for `seconds`.
std::optional<QList<SimulatedBoard::ManometerHold>> holdList(const QString &text, double seconds)
{
    QList<SimulatedBoard::ManometerHold> holds;
    for (const QString &part : text.split(QLatin1Char(','))) {
        const QStringList fields = part.split(QLatin1Char(':'));
        bool ok = false;
        const double pressure = fields.first().trimmed().toDouble(&ok);
        if (!ok || fields.size() > 2 ||
            !(pressure >= 0.0 && pressure <= SimulatedBoard::kMaxLinePressure))
            return std::nullopt;
        double held = seconds;
        if (fields.size() == 2) {
            held = fields.last().trimmed().toDouble(&ok);
            if (!ok || !(held >= 0.25 && held <= 86400))
                return std::nullopt;
        }
        holds << SimulatedBoard::ManometerHold{pressure, held};
    }
    return holds;
}

// "120/80" or "120/80/72", a pair the board can show (systolic above
// diastolic, each 1 to kMaxResult).
std::optional<SimulatedBoard::SetPoint> setPoint(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('/'));
    if (parts.size() < 2 || parts.size() > 3)
        return std::nullopt;
    int values[3] = {0, 0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        bool ok = false;
        values[i] = parts.at(i).trimmed().toInt(&ok);
        if (!ok || values[i] < 1 || values[i] > SimulatedBoard::kMaxResult)
            return std::nullopt;
    }
    if (values[0] <= values[1])
        return std::nullopt;
    return SimulatedBoard::SetPoint{values[0], values[1], values[2], 0.0};
}

bool readRunSettings(const QCommandLineParser &parser, Settings &settings, QTextStream &err)
{
    bool ok = false;
    settings.scale = parser.value(QStringLiteral("time-scale")).toDouble(&ok);
    if (!ok || !(settings.scale > 0.0) || !std::isfinite(settings.scale)) {
        err << "tarnvik-sim: the time scale must be a number above 0\n";
        return false;
    }
    settings.failureRate = parser.value(QStringLiteral("failure-rate")).toDouble(&ok);
    if (!ok || !(settings.failureRate >= 0.0 && settings.failureRate <= 1.0)) {
        err << "tarnvik-sim: the failure rate must be a number from 0 to 1\n";
        return false;
    }
    settings.seed = QRandomGenerator::global()->generate();
    if (parser.isSet(QStringLiteral("seed"))) {
        settings.seed = parser.value(QStringLiteral("seed")).toUInt(&ok);
        if (!ok) {
            err << "tarnvik-sim: the seed must be a number from 0 to 4294967295\n";
            return false;
        }
    }
    if (parser.isSet(QStringLiteral("silent-after"))) {
        settings.silentAfter = number(parser, "silent-after", 0.0, 86400, err);
        if (!settings.silentAfter)
            return false;
    }
    return true;
}

bool readLeakSettings(const QCommandLineParser &parser, Settings &settings, QTextStream &err)
{
    if (parser.isSet(QStringLiteral("leak-rate"))) {
        settings.leakRate = number(parser, "leak-rate", 0.0, 999, err);
        if (!settings.leakRate)
            return false;
    }
    if (parser.isSet(QStringLiteral("leak-hold"))) {
        settings.leakHold =
            wholeNumber(parser, "leak-hold", 1, SimulatedBoard::kMaxLinePressure, err);
        if (!settings.leakHold)
            return false;
    }
    if (parser.isSet(QStringLiteral("leak-overshoot"))) {
        const std::optional<double> overshoot = number(parser, "leak-overshoot", 0.0, 100, err);
        const std::optional<double> seconds =
            overshoot ? number(parser, "overshoot-seconds", 0.25, 600, err) : std::nullopt;
        if (!seconds)
            return false;
        settings.overshoot = *overshoot;
        settings.overshootSeconds = *seconds;
    } else if (parser.isSet(QStringLiteral("overshoot-seconds"))) {
        err << "tarnvik-sim: --overshoot-seconds needs --leak-overshoot\n";
        return false;
    }
    return true;
}

bool readManometerSettings(const QCommandLineParser &parser, Settings &settings, QTextStream &err)
{
    const std::optional<double> seconds = number(parser, "hold-seconds", 0.25, 86400, err);
    if (!seconds)
        return false;
    if (parser.isSet(QStringLiteral("manometer-holds"))) {
        const std::optional<QList<SimulatedBoard::ManometerHold>> holds =
            holdList(parser.value(QStringLiteral("manometer-holds")), *seconds);
        if (!holds) {
            err << "tarnvik-sim: --manometer-holds must be pressures from 0 to "
                << SimulatedBoard::kMaxLinePressure
                << ", each with its seconds (0.25 to 86400) after a colon or none, separated "
                   "by commas\n";
            return false;
        }
        settings.holds = *holds;
    } else if (parser.isSet(QStringLiteral("hold-seconds"))) {
        err << "tarnvik-sim: --hold-seconds needs --manometer-holds\n";
        return false;
    }
    const std::optional<double> gain = number(parser, "gauge-gain", 0.01, 100, err);
    if (!gain)
        return false;
    const std::optional<double> offset = number(parser, "gauge-offset", -999, 999, err);
    if (!offset)
        return false;
    settings.holdSeconds = *seconds;
    settings.gaugeGain = *gain;
    settings.gaugeOffset = *offset;
    return true;
}

bool readMeasurementSettings(const QCommandLineParser &parser, Settings &settings, QTextStream &err)
{
    if (parser.isSet(QStringLiteral("set-point"))) {
        settings.setPoint = setPoint(parser.value(QStringLiteral("set-point")));
        if (!settings.setPoint) {
            err << "tarnvik-sim: --set-point must be SYS/DIA or SYS/DIA/PULSE, systolic above "
                   "diastolic, each from 1 to "
                << SimulatedBoard::kMaxResult << "\n";
            return false;
        }
        const std::optional<double> spread = number(parser, "spread", 0.0, 100, err);
        if (!spread)
            return false;
        settings.setPoint->spread = *spread;
    } else if (parser.isSet(QStringLiteral("spread"))) {
        err << "tarnvik-sim: --spread needs --set-point\n";
        return false;
    }
    if (parser.isSet(QStringLiteral("over-pressure"))) {
        settings.overPressure =
            wholeNumber(parser, "over-pressure", 1, SimulatedBoard::kMaxLinePressure, err);
        if (!settings.overPressure)
            return false;
    }
    if (parser.isSet(QStringLiteral("stall-seconds"))) {
        settings.stallSeconds = number(parser, "stall-seconds", 0.25, 86400, err);
        if (!settings.stallSeconds)
            return false;
    }
    return true;
}

void apply(const Settings &settings, SimulatedBoard &board)
{
    board.setTimeScale(settings.scale);
    board.setSeed(settings.seed);
    board.setFailureRate(settings.failureRate);
    board.setLeakRate(settings.leakRate);
    board.setLeakHold(settings.leakHold);
    board.setLeakOvershoot(settings.overshoot, settings.overshootSeconds);
    board.setManometerHolds(settings.holds);
    board.setGaugeError(settings.gaugeGain, settings.gaugeOffset);
    board.setSetPoint(settings.setPoint);
    board.setOverPressurePeak(settings.overPressure);
    board.setDeflationStall(settings.stallSeconds);
    if (settings.silentAfter)
        board.fallSilentAfter(*settings.silentAfter);
}

QStringList describeLeakAndManometer(const Settings &settings)
{
    QStringList parts;
    if (settings.leakRate)
        parts << QStringLiteral("leak rate %1 mmHg/min").arg(*settings.leakRate);
    if (settings.leakHold)
        parts << QStringLiteral("leak hold %1 mmHg").arg(*settings.leakHold);
    if (settings.overshoot > 0.0)
        parts << QStringLiteral("leak overshoot %1 mmHg over %2 s")
                     .arg(settings.overshoot)
                     .arg(settings.overshootSeconds);
    if (!settings.holds.isEmpty()) {
        QStringList holds;
        for (const SimulatedBoard::ManometerHold &hold : settings.holds)
            holds << QStringLiteral("%1 for %2 s").arg(hold.pressure).arg(hold.seconds);
        parts << QStringLiteral("manometer holds %1").arg(holds.join(QStringLiteral(", ")));
    }
    if (settings.gaugeGain != 1.0 || settings.gaugeOffset != 0.0)
        parts << QStringLiteral("gauge gain %1 offset %2")
                     .arg(settings.gaugeGain)
                     .arg(settings.gaugeOffset);
    return parts;
}

QStringList describeMeasurementsAndSilence(const Settings &settings)
{
    QStringList parts;
    if (const auto &p = settings.setPoint)
        parts << QStringLiteral("set point %1/%2/%3 spread %4")
                     .arg(p->systolic)
                     .arg(p->diastolic)
                     .arg(p->pulse)
                     .arg(p->spread);
    if (settings.overPressure)
        parts << QStringLiteral("over-pressure to %1").arg(*settings.overPressure);
    if (settings.stallSeconds)
        parts << QStringLiteral("deflation stalls: inflated %1 s").arg(*settings.stallSeconds);
    if (settings.silentAfter)
        parts << QStringLiteral("silent after %1 s").arg(*settings.silentAfter);
    return parts;
}

// The settings that differ from a plain board's, for the start-up message.
QString describeFaults(const Settings &settings)
{
    const QStringList parts =
        describeLeakAndManometer(settings) + describeMeasurementsAndSilence(settings);
    return parts.isEmpty() ? QString() : QStringLiteral(", ") + parts.join(QStringLiteral(", "));
}

// The terminal named by --device, or a new pseudo-terminal; no fd on failure.
Line openLine(const QCommandLineParser &parser, QTextStream &err)
{
    Line line;
    if (parser.isSet(QStringLiteral("device"))) {
        line.path = parser.value(QStringLiteral("device"));
        line.fd = openDevice(line.path);
        if (line.fd < 0)
            err << "tarnvik-sim: cannot open " << line.path << "\n";
        return line;
    }
    line.terminal = std::make_unique<PseudoTerminal>();
    if (!line.terminal->isValid()) {
        err << "tarnvik-sim: cannot create a pseudo-terminal\n";
        return line;
    }
    line.fd = line.terminal->masterFd();
    line.path = line.terminal->devicePath();
    return line;
}

void logTraffic(SimulatedBoard &board, QObject *context, QTextStream &err)
{
    QObject::connect(&board, &SimulatedBoard::commandReceived, context,
                     [&err](const QString &text) { err << "<- " << text << Qt::endl; });
    QObject::connect(&board, &SimulatedBoard::frameIgnored, context, [&err](const QString &text) {
        err << "<- " << printable(text) << " (ignored)" << Qt::endl;
    });
    QObject::connect(&board, &SimulatedBoard::lineSent, context, [&err](const QByteArray &bytes) {
        err << "-> " << printable(QString::fromLatin1(bytes)) << Qt::endl;
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnvik-sim"));
    QCommandLineParser parser;
    addOptions(parser);
    parser.process(app);

    QTextStream err(stderr);
    Settings settings;
    if (!readRunSettings(parser, settings, err) || !readLeakSettings(parser, settings, err) ||
        !readManometerSettings(parser, settings, err) ||
        !readMeasurementSettings(parser, settings, err))
        return 2;

    SimulatedBoard board;
    apply(settings, board);
    Line line = openLine(parser, err);
    if (line.fd < 0)
        return 1;
    BoardTerminal link(board, line.fd);
    if (parser.isSet(QStringLiteral("verbose")))
        logTraffic(board, &app, err);
    QObject::connect(&link, &BoardTerminal::hungUp, &app, [&err] {
        err << "tarnvik-sim: the line hung up" << Qt::endl;
        QCoreApplication::exit(1);
    });

    std::printf("%s\n", qPrintable(line.path));
    std::fflush(stdout);
    err << "tarnvik-sim: board on " << line.path << ", seed " << settings.seed << ", time scale "
        << settings.scale << ", failure rate " << settings.failureRate << describeFaults(settings)
        << Qt::endl;

    board.start();
    const int rc = QCoreApplication::exec();
    if (!line.terminal)
        ::close(line.fd);
    return rc;
}
