// SPDX-License-Identifier: MIT
// The Bench checks window: the judgement of the board on the bench, live. It
// shows the board ID, operator and reference instrument fields; the leak test
// as it runs (phase, seconds left, drop so far, running rate); the highest
// cuff pressure against the patient limit, turning to FAIL the moment a
// stretch goes above it; the manometer reference field with its Record button
// (Enter records) and the points recorded; the measurement statistics against
// the set point typed in; a PASS / FAIL / INCOMPLETE badge per check and for
// the board; "Clear" for a new board and "Save report…".
//
// It reads everything from a ChecksEngine that the session feeds with the
// port's traffic. A reference reading and "Clear" are events of the open
// port: the window hands their text to the event writer, which puts them
// through the traffic recorder, so the trace has them and the engine sees
// them at the same millisecond as the traffic around them. The engine's
// answer (a point recorded or refused) comes back through its signals.
//
// It fits a netbook's screen beside the main window: its size never follows
// what it says. Each text that can grow long has a fixed number of lines and
// is cut with an ellipsis beyond them, whole in its tooltip; the window is
// placed inside the screen's available area with its frame, and on a screen
// smaller than its content it scrolls instead of leaving the screen.
#pragma once

#include "check_report.h"
#include "checks_engine.h"

#include <QDateTime>
#include <QHash>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class VerdictBadge;

class BenchChecksWindow : public QWidget
{
    Q_OBJECT

public:
    // Writes an event of the open port ("reference 120", "checks cleared");
    // false when there is no open port to write it for.
    using EventWriter = std::function<bool(const QString &event)>;
    // The device behind a port caption ("COM1" -> "/dev/ttyUSB0").
    using DeviceLookup = std::function<QString(const QString &port)>;

    static constexpr int kRefreshMs = 100;
    // Pixels between the main window and this one.
    static constexpr int kGap = 8;
    // Static points the window shows beyond the table's least, where the
    // screen has room.
    static constexpr int kMorePointRows = 4;

    // `engine` must outlive the window. A top-level window; with a parent it
    // is closed and deleted with it.
    explicit BenchChecksWindow(ChecksEngine &engine, QWidget *parent = nullptr);

    void setEventWriter(EventWriter writer) { m_writeEvent = std::move(writer); }
    void setDeviceLookup(DeviceLookup lookup) { m_deviceOf = std::move(lookup); }
    // When the session (and its trace) began; the report's start time.
    void setSessionStart(const QDateTime &started) { m_started = started; }

    // Records the reading typed in the reference field as a static point.
    void recordPoint();
    // Starts a new board: the checks and the board ID are cleared.
    void clearChecks();
    // The engine's report with this window's session fields.
    CheckReport report() const;
    // Writes the report to `pdfPath` and its JSON beside it.
    bool saveReport(const QString &pdfPath, QString *error);
    // Writes the report to `path` (".pdf" added when it has another ending)
    // and says in the window where, or why it could not.
    void saveReportAndSay(QString path);
    // Shows the engine's state now (the window also does so by itself).
    void refresh();
    // Puts the window to the right of `main`, or as near to it as the screen
    // allows: the window and its frame stay inside the screen's available
    // area, and a window too large for it scrolls its content.
    void placeBeside(const QWidget &main);
    // The whole content, or as much of it as the screen has room for.
    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QSize wholeContentSize() const;
    void fitBeside();
    QWidget *buildSessionBox();
    QWidget *buildLeakBox();
    QWidget *buildOverPressureBox();
    QWidget *buildStaticBox();
    QWidget *buildMeasurementBox();
    void buildSetPointRow(QBoxLayout &into);
    void buildButtonRow(QBoxLayout &into);
    void showLeakTest(const CheckReport &report);
    void showOverPressure(const CheckReport &report);
    void showStaticPoints(const CheckReport &report);
    void showMeasurements(const CheckReport &report);
    void setPointEdited();
    void pointRecorded(const CheckReport::StaticPoint &point);
    void pointRefused(double referenceMmHg, const QString &reason);
    void overPressureSeen(qint64 ms, const QString &kind, int mmHg, double limitMmHg);
    void saveReportChosen();
    void showNote(QLabel *label, const QString &text, bool problem);
    // Shows `text` in a label made by fittedText(), cut to its lines.
    void setFitted(QLabel *label, const QString &text);
    void fitText(QLabel *label);

    ChecksEngine &m_engine;
    EventWriter m_writeEvent;
    DeviceLookup m_deviceOf;
    QDateTime m_started;
    QTimer m_refresh;
    QWidget *m_content = nullptr;
    QPointer<const QWidget> m_beside;    // the window to be placed beside at the next show
    QHash<QLabel *, QString> m_fullText; // what each fitted label says in full

    QLineEdit *m_board = nullptr;
    QLineEdit *m_operator = nullptr;
    QLineEdit *m_instrument = nullptr;

    QLabel *m_leakPhase = nullptr;
    QLabel *m_leakHold = nullptr;
    QLabel *m_leakLeft = nullptr;
    QLabel *m_leakDrop = nullptr;
    QLabel *m_leakRate = nullptr;
    VerdictBadge *m_leakBadge = nullptr;

    QLabel *m_pressureState = nullptr;
    VerdictBadge *m_pressureBadge = nullptr;

    QLineEdit *m_reference = nullptr;
    QPushButton *m_record = nullptr;
    QLabel *m_pointNote = nullptr;
    QTableWidget *m_points = nullptr;
    VerdictBadge *m_staticBadge = nullptr;

    QLineEdit *m_setSystolic = nullptr;
    QLineEdit *m_setDiastolic = nullptr;
    QLineEdit *m_setMean = nullptr;
    QLineEdit *m_setPulse = nullptr;
    QLabel *m_setPointNote = nullptr;
    QLabel *m_counts = nullptr;
    QTableWidget *m_statistics = nullptr;
    VerdictBadge *m_measurementBadge = nullptr;

    VerdictBadge *m_overallBadge = nullptr;
    QPushButton *m_clear = nullptr;
    QPushButton *m_save = nullptr;
    QLabel *m_saveNote = nullptr;
};
