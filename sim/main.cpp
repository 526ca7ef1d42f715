// tarnvik-sim: runs one simulated board until it is stopped. By default the
// board sits behind a new pseudo-terminal whose device path is printed as the
// first line on standard output, for the program (or a demo) to open as its
// serial port; --device puts it on an existing terminal device instead.
#include "board_terminal.h"
#include "pseudo_terminal.h"
#include "simulated_board.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>
#include <QTextStream>

#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <termios.h>
#include <unistd.h>

namespace {

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

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarnvik-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated NIBP board on a pseudo-terminal."));
    parser.addHelpOption();
    const QCommandLineOption scaleOption(
        {QStringLiteral("s"), QStringLiteral("time-scale")},
        QStringLiteral("Run <factor> times faster than real time."), QStringLiteral("factor"),
        QStringLiteral("1"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"), QStringLiteral("Seed for repeatable runs (default: random)."),
        QStringLiteral("n"));
    const QCommandLineOption failureOption(
        {QStringLiteral("f"), QStringLiteral("failure-rate")},
        QStringLiteral("Share of measurements that end with 999, 0 to 1."), QStringLiteral("rate"),
        QStringLiteral("0.1"));
    const QCommandLineOption deviceOption(
        {QStringLiteral("d"), QStringLiteral("device")},
        QStringLiteral("Use this terminal device instead of a new pseudo-terminal."),
        QStringLiteral("path"));
    const QCommandLineOption verboseOption({QStringLiteral("v"), QStringLiteral("verbose")},
                                           QStringLiteral("Log commands and lines on stderr."));
    parser.addOptions({scaleOption, seedOption, failureOption, deviceOption, verboseOption});
    parser.process(app);

    QTextStream err(stderr);
    bool ok = true;
    const double scale = parser.value(scaleOption).toDouble(&ok);
    if (!ok || !(scale > 0.0)) {
        err << "tarnvik-sim: the time scale must be a number above 0\n";
        return 2;
    }
    const double failureRate = parser.value(failureOption).toDouble(&ok);
    if (!ok || failureRate < 0.0 || failureRate > 1.0) {
        err << "tarnvik-sim: the failure rate must be a number from 0 to 1\n";
        return 2;
    }
    quint32 seed = QRandomGenerator::global()->generate();
    if (parser.isSet(seedOption)) {
        seed = parser.value(seedOption).toUInt(&ok);
        if (!ok) {
            err << "tarnvik-sim: the seed must be a number from 0 to 4294967295\n";
            return 2;
        }
    }

    SimulatedBoard board;
    board.setTimeScale(scale);
    board.setSeed(seed);
    board.setFailureRate(failureRate);

    std::unique_ptr<PseudoTerminal> terminal;
    int fd = -1;
    QString path;
    if (parser.isSet(deviceOption)) {
        path = parser.value(deviceOption);
        fd = openDevice(path);
        if (fd < 0) {
            err << "tarnvik-sim: cannot open " << path << "\n";
            return 1;
        }
    } else {
        terminal = std::make_unique<PseudoTerminal>();
        if (!terminal->isValid()) {
            err << "tarnvik-sim: cannot create a pseudo-terminal\n";
            return 1;
        }
        fd = terminal->masterFd();
        path = terminal->devicePath();
    }
    BoardTerminal link(board, fd);

    if (parser.isSet(verboseOption)) {
        QObject::connect(&board, &SimulatedBoard::commandReceived, &app,
                         [&err](const QString &text) { err << "<- " << text << Qt::endl; });
        QObject::connect(&board, &SimulatedBoard::frameIgnored, &app, [&err](const QString &text) {
            err << "<- " << printable(text) << " (ignored)" << Qt::endl;
        });
        QObject::connect(&board, &SimulatedBoard::lineSent, &app, [&err](const QByteArray &bytes) {
            err << "-> " << printable(QString::fromLatin1(bytes)) << Qt::endl;
        });
    }
    QObject::connect(&link, &BoardTerminal::hungUp, &app, [&err] {
        err << "tarnvik-sim: the line hung up" << Qt::endl;
        QCoreApplication::exit(1);
    });

    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
    err << "tarnvik-sim: board on " << path << ", seed " << seed << ", time scale " << scale
        << ", failure rate " << failureRate << Qt::endl;

    board.start();
    const int rc = QCoreApplication::exec();
    if (!terminal)
        ::close(fd);
    return rc;
}
