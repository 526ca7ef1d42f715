// SPDX-License-Identifier: MIT
#include "simulated_board.h"

#include "command_frame.h"
#include "control_bytes.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Cycle minutes by command code, for codes 03 to 11.
constexpr int kCycleMinutes[] = {0, 1, 2, 3, 4, 5, 10, 15, 30};

// Writes a number right-aligned and zero-filled into text at a 0-based index.
void put(QByteArray &text, qsizetype index, int value, int width)
{
    const QByteArray digits = QByteArray::number(value).rightJustified(width, '0', true);
    text.replace(index, width, digits);
}

// The spread generator's seed: the board's seed and a tag, so that its
// sequence is not the main generator's.
QRandomGenerator spreadGenerator(quint32 seed)
{
    const quint32 words[] = {seed, 0x5350u};
    return QRandomGenerator(words);
}

// Seconds of board time in whole steps, at least one.
int stepsFor(double seconds)
{
    const double steps = std::isfinite(seconds) ? seconds * 1000.0 / SimulatedBoard::kTickMs : 1.0;
    return int(std::lround(std::clamp(steps, 1.0, 1e8)));
}

bool validSetPoint(const SimulatedBoard::SetPoint &p)
{
    const auto inRange = [](int value) {
        return value >= 1 && value <= SimulatedBoard::kMaxResult;
    };
    return inRange(p.systolic) && inRange(p.diastolic) && p.systolic > p.diastolic &&
           (p.pulse == 0 || inRange(p.pulse)) && std::isfinite(p.spread) && p.spread >= 0.0;
}

} // namespace

SimulatedBoard::SimulatedBoard(QObject *parent)
    : QObject(parent)
    , m_random(kDefaultSeed)
    , m_spreadRandom(spreadGenerator(kDefaultSeed))
{
    m_clock.setTimerType(Qt::PreciseTimer);
    m_clock.setInterval(kTickMs);
    connect(&m_clock, &QTimer::timeout, this, &SimulatedBoard::step);
}

void SimulatedBoard::setTimeScale(double scale)
{
    if (!(scale > 0.0) || !std::isfinite(scale))
        return;
    m_timeScale = scale;
    const double interval = std::clamp(kTickMs / scale, 1.0, 3600.0 * 1000.0);
    m_clock.setInterval(int(std::lround(interval)));
}

void SimulatedBoard::setSeed(quint32 seed)
{
    m_seed = seed;
    m_random.seed(seed);
    m_spreadRandom = spreadGenerator(seed);
}

void SimulatedBoard::setFailureRate(double rate)
{
    m_failureRate = std::isfinite(rate) ? std::clamp(rate, 0.0, 1.0) : 0.0;
}

void SimulatedBoard::setLeakRate(std::optional<double> mmHgPerMinute)
{
    if (mmHgPerMinute && !(std::isfinite(*mmHgPerMinute) && *mmHgPerMinute >= 0.0))
        return;
    m_leakRate = mmHgPerMinute;
}

void SimulatedBoard::setLeakHold(std::optional<int> pressure)
{
    if (pressure && (*pressure < 1 || *pressure > kMaxLinePressure))
        return;
    m_leakHold = pressure;
}

void SimulatedBoard::setLeakOvershoot(double mmHg, double seconds)
{
    if (!(mmHg >= 0.0 && mmHg <= 100.0) || !(seconds > 0.0) || !std::isfinite(seconds))
        return;
    m_overshoot = mmHg;
    m_overshootSeconds = seconds;
}

void SimulatedBoard::setManometerHolds(const QList<ManometerHold> &holds)
{
    QList<ManometerBench::Hold> steps;
    for (const ManometerHold &hold : holds)
        steps << ManometerBench::Hold{hold.pressure, stepsFor(hold.seconds)};
    m_bench.setHolds(steps);
}

void SimulatedBoard::setManometerHolds(const QList<double> &pressures, double holdSeconds)
{
    QList<ManometerHold> holds;
    for (const double p : pressures)
        holds << ManometerHold{p, holdSeconds};
    setManometerHolds(holds);
}

QList<SimulatedBoard::ManometerHold> SimulatedBoard::manometerHolds() const
{
    QList<ManometerHold> holds;
    for (const ManometerBench::Hold &hold : m_bench.holds())
        holds << ManometerHold{hold.pressure, hold.steps * kTickMs / 1000.0};
    return holds;
}

void SimulatedBoard::holdAt(double pressure)
{
    m_bench.holdAt(pressure);
}

void SimulatedBoard::releaseHold()
{
    m_bench.release();
}

void SimulatedBoard::setGaugeError(double gain, double offset)
{
    if (!std::isfinite(gain) || !(gain > 0.0) || !std::isfinite(offset))
        return;
    m_gaugeGain = gain;
    m_gaugeOffset = offset;
}

void SimulatedBoard::setSetPoint(std::optional<SetPoint> setPoint)
{
    if (setPoint && !validSetPoint(*setPoint))
        return;
    m_setPoint = setPoint;
}

void SimulatedBoard::setOverPressurePeak(std::optional<int> peak)
{
    if (peak && (*peak < 1 || *peak > kMaxLinePressure))
        return;
    m_overPressurePeak = peak;
}

void SimulatedBoard::setDeflationStall(std::optional<double> seconds)
{
    if (seconds && !(*seconds > 0.0 && *seconds <= 86400.0))
        return;
    m_stall = seconds;
}

void SimulatedBoard::setSilent(bool silent)
{
    m_silent = silent;
    m_silentAtStep = -1;
}

void SimulatedBoard::fallSilentAfter(double seconds)
{
    if (!(seconds >= 0.0) || !std::isfinite(seconds))
        return;
    const qint64 steps = std::llround(std::min(seconds, 1e9) * 1000.0 / kTickMs);
    if (steps == 0) {
        setSilent(true);
        return;
    }
    m_silentAtStep = m_steps + steps;
}

void SimulatedBoard::start()
{
    m_clock.start();
}

void SimulatedBoard::stop()
{
    m_clock.stop();
}

void SimulatedBoard::advance(int steps)
{
    for (int i = 0; i < steps; ++i)
        step();
}

void SimulatedBoard::step()
{
    ++m_steps;
    if (m_cycleMinutes > 0 && m_steps >= m_nextCycleStep) {
        m_nextCycleStep += qint64(m_cycleMinutes) * kTicksPerMinute;
        if (m_mode == Mode::Idle && !m_silent)
            beginMeasurement();
    }
    if (m_silent)
        return;
    switch (m_mode) {
    case Mode::Idle:
        stepIdle();
        break;
    case Mode::Measuring:
        stepMeasurement();
        break;
    case Mode::Manometer:
        stepManometer();
        break;
    case Mode::LeakTest:
        stepLeakTest();
        break;
    }
    if (m_silentAtStep >= 0 && m_steps >= m_silentAtStep)
        setSilent(true);
}

void SimulatedBoard::receive(const QByteArray &bytes, int port)
{
    const QStringList texts = m_readers[port].feed(bytes);
    for (const QString &text : texts) {
        if (!m_silent) {
            act(text, port);
            continue;
        }
        m_ignored << Command{text, port};
        emit frameIgnored(text, port);
    }
}

int SimulatedBoard::pressure() const
{
    return lineFor(m_pressure);
}

// The whole mmHg a line shows for a cuff pressure, in the current mode.
int SimulatedBoard::lineFor(double pressure) const
{
    const double reading =
        m_mode == Mode::Manometer ? m_gaugeGain * pressure + m_gaugeOffset : pressure;
    return int(std::lround(std::clamp(reading, 0.0, double(kMaxLinePressure))));
}

int SimulatedBoard::holdIndex() const
{
    return m_mode == Mode::Manometer ? m_bench.holdIndex() : -1;
}

bool SimulatedBoard::isHoldSteady() const
{
    return m_mode == Mode::Manometer && m_bench.isSteady();
}

QStringList SimulatedBoard::commandTexts() const
{
    QStringList texts;
    for (const Command &command : m_commands)
        texts << command.text;
    return texts;
}

void SimulatedBoard::clearRecord()
{
    m_commands.clear();
    m_ignored.clear();
    m_sentLines.clear();
}

QByteArray SimulatedBoard::wireLine(const QString &payload)
{
    return ControlBytes::kStx + payload.toLatin1() + ControlBytes::kCr;
}

// A board checks the checksum before it looks at the code: a corrupted frame
// is dropped, and so is a sound frame with a code it does not know.
void SimulatedBoard::act(const QString &text, int port)
{
    const bool isBreak = text == QLatin1String("X");
    const int code = text.left(2).toInt();
    const bool known =
        isBreak ||
        (CommandFrame::hasValidChecksum(text) &&
         (code == 1 || (code >= 3 && code <= 11) || code == 14 || (code >= 17 && code <= 25)));
    if (!known) {
        m_ignored << Command{text, port};
        emit frameIgnored(text, port);
        return;
    }
    m_commands << Command{text, port};
    emit commandReceived(text, port);

    if (isBreak) {
        m_mode = Mode::Idle; // the cuff vents on the following steps
        return;
    }
    if (code == 1) {
        if (m_mode == Mode::Idle)
            beginMeasurement();
    } else if (code >= 3 && code <= 11) {
        m_cycleMinutes = kCycleMinutes[code - 3];
        m_nextCycleStep =
            m_cycleMinutes > 0 ? m_steps + qint64(m_cycleMinutes) * kTicksPerMinute : -1;
    } else if (code == 14) {
        if (m_mode == Mode::Idle) {
            m_mode = Mode::Manometer;
            m_bench.restart();
        }
    } else if (code == 17) {
        if (m_mode == Mode::Idle)
            beginLeakTest();
    } else if (code == 18) {
        sendStatusLine();
    } else if (code >= 19 && code <= 23) {
        m_pumpUpSetting = 100 + (code - 19) * 20;
    } else if (code == 24) {
        m_patient = Patient::Adult;
    } else if (code == 25) {
        m_patient = Patient::Neonate;
    }
}

void SimulatedBoard::beginMeasurement()
{
    m_mode = Mode::Measuring;
    m_phase = Phase::Inflating;
    ++m_measurementsStarted;
    m_target = m_patient == Patient::Adult ? m_pumpUpSetting : m_pumpUpSetting - kNeonateOffset;
    m_holdSteps = 0;
    m_deflationSteps = 0;
    m_stallSteps = m_stall ? stepsFor(*m_stall) : 0;
    m_inflatedAbove = m_patient == Patient::Adult ? kAdultInflatedAbove : kNeonateInflatedAbove;
    m_linesAbove = 0;
    m_deflated = false;

    // The draws happen in the same order whatever the settings, so that a
    // seed gives the same patients at any failure rate or set point.
    const Result patient = drawPatient();
    m_pending = m_setPoint ? aroundSetPoint(patient) : patient;
    m_willFail = m_random.generateDouble() < m_failureRate;
    m_failAfterSteps = m_random.bounded(1, 7);
}

SimulatedBoard::Result SimulatedBoard::drawPatient()
{
    Result r;
    if (m_patient == Patient::Adult) {
        r.systolic = m_random.bounded(100, 151);
        r.diastolic = m_random.bounded(60, std::min(96, r.systolic - 24));
        r.pulse = m_random.bounded(55, 101);
    } else {
        r.systolic = m_random.bounded(55, 81);
        r.diastolic = m_random.bounded(30, std::min(51, r.systolic - 14));
        r.pulse = m_random.bounded(110, 161);
    }
    r.mean = r.diastolic + int(std::lround((r.systolic - r.diastolic) / 3.0));
    return r;
}

// Three deviates a measurement, always, so that the n-th measurement after a
// seed gets the same values whatever the spread.
SimulatedBoard::Result SimulatedBoard::aroundSetPoint(const Result &patient)
{
    const SetPoint &p = *m_setPoint;
    const auto around = [&](int value) {
        return value + int(std::lround(p.spread * normalDeviate()));
    };
    Result r;
    r.systolic = around(p.systolic);
    r.diastolic = around(p.diastolic);
    const int pulse = around(p.pulse);
    r.diastolic = std::clamp(r.diastolic, 1, kMaxResult - 1);
    r.systolic = std::clamp(r.systolic, r.diastolic + 1, kMaxResult);
    r.pulse = p.pulse > 0 ? std::clamp(pulse, 1, kMaxResult) : patient.pulse;
    r.mean = r.diastolic + int(std::lround((r.systolic - r.diastolic) / 3.0));
    return r;
}

// A standard normal deviate (Box-Muller) from the spread generator.
double SimulatedBoard::normalDeviate()
{
    const double u1 = 1.0 - m_spreadRandom.generateDouble(); // (0, 1]
    const double u2 = m_spreadRandom.generateDouble();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(kTwoPi * u2);
}

void SimulatedBoard::beginLeakTest()
{
    m_mode = Mode::LeakTest;
    m_phase = Phase::Inflating;
    m_target = m_leakHold.value_or(m_patient == Patient::Adult ? kAdultLeakPressure
                                                               : kNeonateLeakPressure);
    m_coolingLeft = 0.0;
    // 2 to 10 mmHg a minute, drawn even when the rate is set so that the
    // draws after it stay the same.
    const double drawn = 2.0 + 8.0 * m_random.generateDouble();
    m_leakPerStep = m_leakRate.value_or(drawn) / kTicksPerMinute;
}

int SimulatedBoard::pumpLimit() const
{
    return m_patient == Patient::Adult ? kAdultPumpLimit : kNeonatePumpLimit;
}

void SimulatedBoard::stepMeasurement()
{
    if (stallsDeflation()) {
        sendPressureLine();
        noteInflation();
        return;
    }
    switch (m_phase) {
    case Phase::Inflating:
        if (m_pressure < m_target)
            m_pressure = std::min<double>(m_target, m_pressure + kInflatePerTick);
        if (m_pressure >= m_target) {
            // No clear oscillations at the top: the cuff is below systolic, pump on.
            // A faulty board pumps on past the limit to its over-pressure peak.
            if (m_target < m_pending.systolic + 15 && m_target < pumpLimit()) {
                m_target = std::min(pumpLimit(), m_target + kReinflate);
            } else if (m_overPressurePeak && m_target < *m_overPressurePeak) {
                m_target = *m_overPressurePeak;
            } else {
                m_phase = Phase::Deflating;
                m_holdSteps = 0;
            }
        }
        break;
    case Phase::Deflating:
        if (++m_holdSteps >= kStepTicks) {
            m_holdSteps = 0;
            const int stepSize = m_patient == Patient::Adult ? kAdultStep : kNeonateStep;
            m_pressure = std::max(0.0, m_pressure - stepSize);
            ++m_deflationSteps;
            const bool belowDiastolic = m_pressure <= std::max(0, m_pending.diastolic - 10);
            if (m_willFail && (m_deflationSteps >= m_failAfterSteps || belowDiastolic)) {
                failMeasurement();
                return;
            }
            if (belowDiastolic)
                m_phase = Phase::Dumping;
        }
        break;
    case Phase::Dumping:
        m_pressure = std::max(0.0, m_pressure - kDumpPerTick);
        break;
    case Phase::Holding:
        break;
    }
    sendPressureLine();
    noteInflation();
    if (m_phase == Phase::Dumping && m_pressure <= 0.0)
        finishMeasurement();
}

// The stalled deflation holds the last pressure above the inflated pressure
// until the cuff has been inflated for the set number of steps.
bool SimulatedBoard::stallsDeflation() const
{
    const bool deflating = m_phase == Phase::Deflating || m_phase == Phase::Dumping;
    return m_stallSteps > 0 && deflating && !m_deflated && m_linesAbove < m_stallSteps &&
           pressure() > m_inflatedAbove && lineFor(nextMeasurementPressure()) <= m_inflatedAbove;
}

// The pressure the next step of deflation or dumping leaves in the cuff.
double SimulatedBoard::nextMeasurementPressure() const
{
    if (m_phase == Phase::Dumping)
        return std::max(0.0, m_pressure - kDumpPerTick);
    if (m_holdSteps + 1 < kStepTicks)
        return m_pressure;
    const int stepSize = m_patient == Patient::Adult ? kAdultStep : kNeonateStep;
    return std::max(0.0, m_pressure - stepSize);
}

// Counts the lines of the first stretch above the inflated pressure.
void SimulatedBoard::noteInflation()
{
    if (m_deflated)
        return;
    if (pressure() > m_inflatedAbove)
        ++m_linesAbove;
    else if (m_linesAbove > 0)
        m_deflated = true;
}

// The end value is the last line of a failed measurement: the valves open and
// the board says nothing more until it is asked, so the program finds "999"
// as the last complete line.
void SimulatedBoard::failMeasurement()
{
    send(QStringLiteral("999"));
    m_pressure = 0.0;
    noteInflation();
    m_mode = Mode::Idle;
    m_lastFailed = true;
    emit measurementFinished(true);
}

// Result line payload, 29 characters: "S" at 1, the measurement number at
// 2..5, the patient (A/N) at 7, the pump-up pressure at 9..11, systolic at
// 16..18, diastolic at 19..21, mean at 22..24, pulse at 27..29, blanks between.
void SimulatedBoard::finishMeasurement()
{
    QByteArray line(29, ' ');
    line[0] = 'S';
    put(line, 1, m_measurementsStarted % 10000, 4);
    line[6] = m_patient == Patient::Adult ? 'A' : 'N';
    put(line, 8, m_target, 3);
    put(line, 15, m_pending.systolic, 3);
    put(line, 18, m_pending.diastolic, 3);
    put(line, 21, m_pending.mean, 3);
    put(line, 26, m_pending.pulse, 3);
    send(QString::fromLatin1(line));
    m_mode = Mode::Idle;
    m_lastResult = m_pending;
    m_lastFailed = false;
    emit measurementFinished(false);
}

void SimulatedBoard::stepManometer()
{
    m_pressure = m_bench.step(m_pressure);
    sendPressureLine();
    if (m_bench.isSteady() && m_bench.heldSteps() == 1)
        emit holdReached(m_bench.holdIndex(), m_pressure);
}

void SimulatedBoard::stepLeakTest()
{
    if (m_phase == Phase::Inflating) {
        if (m_pressure < m_target)
            m_pressure = std::min<double>(m_target, m_pressure + kInflatePerTick);
        if (m_pressure >= m_target) {
            m_phase = Phase::Holding;
            m_coolingLeft = m_overshoot;
        }
    } else {
        // The cooling's share of this step: what is left decays by e^(-step/tau).
        const double left = m_coolingLeft * std::exp(-kTickMs / (1000.0 * m_overshootSeconds));
        const double cooled = m_coolingLeft - left;
        m_coolingLeft = left;
        m_pressure = std::max(0.0, m_pressure - m_leakPerStep - cooled);
    }
    sendPressureLine();
}

// An idle board with air in the cuff vents it, reporting the pressure down to
// zero; an empty idle cuff is silent.
void SimulatedBoard::stepIdle()
{
    if (m_pressure <= 0.0)
        return;
    m_pressure = std::max(0.0, m_pressure - kVentPerTick);
    sendPressureLine();
}

void SimulatedBoard::sendPressureLine()
{
    send(QString::asprintf("%03d", pressure()));
}

void SimulatedBoard::sendStatusLine()
{
    char mode = 'I';
    switch (m_mode) {
    case Mode::Idle:
        mode = 'I';
        break;
    case Mode::Measuring:
        mode = 'M';
        break;
    case Mode::Manometer:
        mode = 'N';
        break;
    case Mode::LeakTest:
        mode = 'L';
        break;
    }
    const char patient = m_patient == Patient::Adult ? 'A' : 'N';
    send(QString::asprintf("%03d %c %c %03d %02d", pressure(), mode, patient, m_pumpUpSetting,
                           m_cycleMinutes));
}

void SimulatedBoard::send(const QString &payload)
{
    m_sentLines << payload;
    emit lineSent(wireLine(payload));
}
