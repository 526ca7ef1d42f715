// SPDX-License-Identifier: MIT
// The verdict palette: every pairing of its colours that the report and the
// windows draw reads by WCAG's contrast, and the badge shows the palette's
// colours.
#include "legibility.h"
#include "verdict_badge.h"
#include "verdict_palette.h"

#include <QApplication>
#include <QtTest>

Q_DECLARE_METATYPE(Verdict)

namespace {

QColor colour(quint32 rgb)
{
    return QColor(QRgb(rgb));
}

const QList<std::pair<Verdict, const char *>> kVerdicts{{Verdict::None, "none"},
                                                        {Verdict::Pass, "pass"},
                                                        {Verdict::Fail, "fail"},
                                                        {Verdict::Incomplete, "incomplete"}};

} // namespace

class VerdictPaletteTest : public QObject
{
    Q_OBJECT

private slots:
    void pairingsRead_data();
    void pairingsRead();
    void badgeShowsThePalette_data();
    void badgeShowsThePalette();
};

void VerdictPaletteTest::pairingsRead_data()
{
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<double>("least");

    const QColor reportText(0x20, 0x20, 0x20); // the report's text (PageFlow)
    for (const auto &[verdict, name] : kVerdicts) {
        const VerdictPalette::Colours c = VerdictPalette::of(verdict);
        QTest::addRow("%s: badge text on the badge", name)
            << colour(c.badgeText) << colour(c.badge) << 4.5;
        QTest::addRow("%s: report text on the fill", name) << reportText << colour(c.fill) << 4.5;
        QTest::addRow("%s: ink on white, the report's notes", name)
            << colour(c.ink) << QColor(Qt::white) << 4.5;
        QTest::addRow("%s: ink on the fill, the banner's large bold text", name)
            << colour(c.ink) << colour(c.fill) << 3.0;
    }
}

void VerdictPaletteTest::pairingsRead()
{
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(double, least);
    const double contrast = Legibility::contrastRatio(text, background);
    QVERIFY2(contrast >= least, qPrintable(QString::number(contrast)));
}

void VerdictPaletteTest::badgeShowsThePalette_data()
{
    QTest::addColumn<Verdict>("verdict");
    for (const auto &[verdict, name] : kVerdicts)
        QTest::newRow(name) << verdict;
}

// The badge's background, a pixel inside its rounded corner and above the text.
void VerdictPaletteTest::badgeShowsThePalette()
{
    QFETCH(Verdict, verdict);
    VerdictBadge badge;
    badge.setVerdict(Verdict::Fail);
    badge.setVerdict(verdict);
    badge.adjustSize();
    const QImage picture = badge.grab().toImage();
    QCOMPARE(picture.pixelColor(picture.width() / 2, 1), colour(VerdictPalette::of(verdict).badge));
}

QTEST_MAIN(VerdictPaletteTest)
#include "verdict_palette_test.moc"
