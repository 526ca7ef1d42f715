// tarnvik-curve: draws the cuff-pressure curves of the measurements in a
// traffic trace (tarnvik --trace FILE) as a PNG picture. Runs without a
// display: it uses Qt's offscreen platform unless another one is chosen.
#include "curve_picture.h"
#include "measurement_curve.h"
#include "tarnvik_version.h"
#include "trace_reader.h"

#include <QCommandLineParser>
#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("tarnvik-curve"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws the cuff pressure over time of every measurement in a tarnvik "
                       "traffic trace."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The PNG file to write."),
                                    QStringLiteral("png"));
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("trace"), QStringLiteral("The trace to read."));
    // --help and --version answer before the trace and -o are asked for.
    const bool parsed = parser.parse(QCoreApplication::arguments());
    if (parsed && parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (parsed && parser.isSet(QStringLiteral("version")))
        parser.showVersion();
    if (!parsed || parser.positionalArguments().size() != 1 || !parser.isSet(output)) {
        const QString error = parser.errorText().isEmpty()
                                  ? QStringLiteral("give one trace and -o PNG")
                                  : parser.errorText();
        std::fprintf(stderr, "tarnvik-curve: %s\n\n%s", qPrintable(error),
                     qPrintable(parser.helpText()));
        return 2;
    }

    QFile trace(parser.positionalArguments().first());
    if (!trace.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tarnvik-curve: cannot read %s: %s\n", qPrintable(trace.fileName()),
                     qPrintable(trace.errorString()));
        return 1;
    }
    const QList<MeasurementCurve> curves = MeasurementCurve::fromTrace(TraceReader::read(trace));
    const QImage picture = CurvePicture::render(curves);
    if (!picture.save(parser.value(output), "PNG")) {
        std::fprintf(stderr, "tarnvik-curve: cannot write %s\n", qPrintable(parser.value(output)));
        return 1;
    }
    std::printf("%lld measurement(s) drawn into %s\n", static_cast<long long>(curves.size()),
                qPrintable(parser.value(output)));
    return 0;
}
