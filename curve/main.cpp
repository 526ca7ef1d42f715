// SPDX-License-Identifier: MIT
// tarnvik-curve: draws the cuff-pressure curves of the measurements in a
// traffic trace (tarnvik --trace FILE) as PNG pictures, a page of at most
// CurvePicture::kPageSize measurements each: the first page goes to the file
// given with -o, the next ones beside it as NAME-2.png, NAME-3.png, ... The
// trace is read a line at a time and each page is written as soon as it is
// full, so memory stays bounded however long the trace is. Lines that are no
// trace lines are skipped and counted; a file without a single trace line
// ends the tool with 1. Runs without a display: it uses Qt's offscreen
// platform unless another one is chosen.
#include "curve_picture.h"
#include "measurement_splitter.h"
#include "tarnvik_version.h"
#include "trace_reader.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>

#include <cstdio>
#include <optional>

namespace {

constexpr int kUsageError = 2;

struct Arguments
{
    QString trace;
    QString output;
};

// The trace and the picture's name, or the exit code when the tool ends here
// (--help and --version with 0, a bad command line with 2).
std::optional<Arguments> parseArguments(int &exitCode)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Draws the cuff pressure over time of every measurement in a tarnvik "
                       "traffic trace, %1 measurements a picture: the first page into PNG, "
                       "the next ones into PNG-2.png, PNG-3.png, ... beside it.")
            .arg(CurvePicture::kPageSize));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The PNG file to write."),
                                    QStringLiteral("png"));
    parser.addOption(output);
    parser.addPositionalArgument(QStringLiteral("trace"), QStringLiteral("The trace to read."));
    const bool parsed = parser.parse(QCoreApplication::arguments());
    const bool helpAsked = parser.isSet(help) || parser.isSet(QStringLiteral("help-all"));
    if (parsed && (helpAsked || parser.isSet(version))) {
        const QString text =
            helpAsked
                ? parser.helpText()
                : QStringLiteral("tarnvik-curve %1\n").arg(QCoreApplication::applicationVersion());
        std::fputs(qPrintable(text), stdout);
        exitCode = 0;
        return std::nullopt;
    }
    if (!parsed || parser.positionalArguments().size() != 1 || parser.value(output).isEmpty()) {
        const QString error =
            parsed ? QStringLiteral("give one trace and -o PNG") : parser.errorText();
        std::fprintf(stderr, "tarnvik-curve: %s\n\n%s", qPrintable(error),
                     qPrintable(parser.helpText()));
        exitCode = kUsageError;
        return std::nullopt;
    }
    return Arguments{parser.positionalArguments().first(), parser.value(output)};
}

// Page 1 is the name given; page n is NAME-n.SUFFIX beside it.
QString pageFile(const QString &output, int page)
{
    if (page == 1)
        return output;
    const QFileInfo info(output);
    const QString name =
        info.suffix().isEmpty()
            ? QStringLiteral("%1-%2").arg(info.fileName()).arg(page)
            : QStringLiteral("%1-%2.%3").arg(info.completeBaseName()).arg(page).arg(info.suffix());
    return output.left(output.size() - info.fileName().size()) + name;
}

// Draws the pictures page by page while the trace is read.
class PageWriter
{
public:
    explicit PageWriter(const QString &output)
        : m_output(output)
    {}

    bool write(const QList<MeasurementCurve> &curves)
    {
        const QString file = pageFile(m_output, m_pages + 1);
        QImageWriter writer(file, "png");
        if (!writer.write(CurvePicture::render(curves, m_drawn + 1))) {
            std::fprintf(stderr, "tarnvik-curve: cannot write %s: %s\n", qPrintable(file),
                         qPrintable(writer.errorString()));
            return false;
        }
        m_files << file;
        ++m_pages;
        m_drawn += int(curves.size());
        return true;
    }
    int drawn() const { return m_drawn; }
    QStringList files() const { return m_files; }

private:
    QString m_output;
    QStringList m_files;
    int m_pages = 0;
    int m_drawn = 0;
};

int draw(QIODevice &in, const Arguments &arguments)
{
    TraceReader reader(in);
    MeasurementSplitter splitter;
    PageWriter pages(arguments.output);
    qint64 entries = 0;
    for (TrafficEntry entry; reader.next(entry);) {
        ++entries;
        splitter.add(entry);
        if (splitter.endedCount() >= CurvePicture::kPageSize &&
            !pages.write(splitter.takeEnded(CurvePicture::kPageSize)))
            return 1;
    }
    splitter.finish();
    if (entries == 0) {
        std::fprintf(stderr, "tarnvik-curve: %s holds no trace line (%lld line(s) skipped)\n",
                     qPrintable(arguments.trace), static_cast<long long>(reader.skipped()));
        return 1;
    }
    while (splitter.endedCount() > 0 || pages.files().isEmpty()) {
        if (!pages.write(splitter.takeEnded(CurvePicture::kPageSize)))
            return 1;
    }
    const QStringList files = pages.files();
    const QString into = files.size() <= 3 ? files.join(QStringLiteral(", "))
                                           : QStringLiteral("%1 pictures, %2 to %3")
                                                 .arg(files.size())
                                                 .arg(files.first(), files.last());
    std::printf("%d measurement(s) drawn into %s; %lld line(s) skipped\n", pages.drawn(),
                qPrintable(into), static_cast<long long>(reader.skipped()));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("tarnvik-curve"));
    QGuiApplication::setApplicationVersion(QStringLiteral(TARNVIK_VERSION_STRING));

    int exitCode = 0;
    const std::optional<Arguments> arguments = parseArguments(exitCode);
    if (!arguments)
        return exitCode;
    QFile trace(arguments->trace);
    if (!trace.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tarnvik-curve: cannot read %s: %s\n", qPrintable(trace.fileName()),
                     qPrintable(trace.errorString()));
        return 1;
    }
    return draw(trace, *arguments);
}
