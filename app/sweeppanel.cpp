#include "app/sweeppanel.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QStatusBar>
#include <QThread>

#include <limits>

#include "app/closequestion.h"
#include "app/controlspanel.h"
#include "data/numbertext.h"
#include "instrument/gpibdriver.h"
#include "instrument/simulatedanalyser.h"
#include "ui_sweeppanel.h"

namespace {

QString g6(double value)
{
    return QString::number(value, 'g', 6);
}

// The interface of each source choice that takes an address.
InstrumentInterface interfaceOf(int choice)
{
    switch (choice) {
    case SweepPanel::SourceLanSocket:
        return InstrumentInterface::LanSocket;
    case SweepPanel::SourceVxi11:
        return InstrumentInterface::Vxi11;
    case SweepPanel::SourceUsbTmc:
        return InstrumentInterface::UsbTmc;
    case SweepPanel::SourceGpib:
        return InstrumentInterface::Gpib;
    default:
        return InstrumentInterface::Simulated;
    }
}

int choiceOf(InstrumentInterface interface)
{
    switch (interface) {
    case InstrumentInterface::LanSocket:
        return SweepPanel::SourceLanSocket;
    case InstrumentInterface::Vxi11:
        return SweepPanel::SourceVxi11;
    case InstrumentInterface::UsbTmc:
        return SweepPanel::SourceUsbTmc;
    case InstrumentInterface::Gpib:
        return SweepPanel::SourceGpib;
    case InstrumentInterface::Simulated:
        break;
    }
    return SweepPanel::SimulatedSource;
}

} // namespace

SweepPanel::SweepPanel(QWidget *parent)
    : QWidget(parent), ui(new Ui::SweepPanel), sweepThread(new QThread(this)),
      sweep(new SweepController)
{
    ui->setupUi(this);
    // The fields scroll when the window is short, and never lose their right edge to the
    // scroll bar.
    ui->saSweep->setMinimumWidth(ui->wSweepContents->minimumSizeHint().width() +
                                 ui->saSweep->verticalScrollBar()->sizeHint().width());
    sweep->moveToThread(sweepThread);
    connect(sweepThread, &QThread::finished, sweep, &QObject::deleteLater);
    connect(sweep, &SweepController::pointMeasured, this, &SweepPanel::sweepPointMeasured);
    connect(sweep, &SweepController::sweepFinished, this, &SweepPanel::sweepFinished);
    // The Controls panel's bar shows the readings of the point being measured.
    connect(sweep, &SweepController::readingTaken, this, [this](int taken, int count) {
        if (controls)
            controls->showProgress(taken, count);
    });
    sweepThread->start();

    ui->leSweepStart->setLocale(NumberText::locale());
    ui->leSweepStop->setLocale(NumberText::locale());
    ui->pbSweepProgress->setRange(0, ui->sbSweepPoints->value());
    connect(ui->pbSweepStart, &QPushButton::clicked, this, &SweepPanel::startOrStop);
    connect(ui->cbSourceInterface, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SweepPanel::sourceChosen);
    for (QLineEdit *field : {ui->leSourceAddress, ui->leSourceCommand, ui->leCentreCommand,
                             ui->leSweepStart, ui->leSweepStop})
        connect(field, &QLineEdit::textChanged, this, &SweepPanel::showRefusal);
    connect(ui->leSourceAddress, &QLineEdit::textChanged, this, &SweepPanel::followResourceString);
    connect(ui->sbSweepPoints, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &SweepPanel::showRefusal);
    connect(ui->cbSweepSpacing, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &SweepPanel::showRefusal);
    connect(ui->cbSourceWait, &QCheckBox::toggled, this, &SweepPanel::showRefusal);
    connect(ui->cbFollowCentre, &QCheckBox::toggled, this, &SweepPanel::showRefusal);
    sourceChosen(ui->cbSourceInterface->currentIndex());
}

SweepPanel::~SweepPanel()
{
    shutDown();
    delete ui;
}

void SweepPanel::attach(QMainWindow *mainWindow, QStatusBar *bar, ControlsPanel *panel)
{
    window = mainWindow;
    statusBar = bar;
    controls = panel;
}

void SweepPanel::shutDown()
{
    if (!sweepThread->isRunning())
        return;
    sweep->finishNow(false);
    sweepThread->quit();
    sweepThread->wait();
}

SweepPlan SweepPanel::plan() const
{
    SweepPlan result;
    const auto frequency = [](const QLineEdit *field) {
        double value = 0;
        if (!NumberText::toDouble(field->text().trimmed(), &value))
            return std::numeric_limits<double>::quiet_NaN();
        return value;
    };
    result.start = frequency(ui->leSweepStart);
    result.stop = frequency(ui->leSweepStop);
    result.points = ui->sbSweepPoints->value();
    result.spacing = ui->cbSweepSpacing->currentIndex() == 1 ? SweepPlan::Spacing::Linear
                                                             : SweepPlan::Spacing::Logarithmic;
    return result;
}

// The first reason the fields cannot be swept: the source's address, a command without its
// frequency, or the plan.
QString SweepPanel::refusal() const
{
    QString hint;
    if (!sourceAddress(&hint))
        return hint;
    if (ui->cbSourceInterface->currentIndex() != NoSource) {
        const QString command = SweepPlan::commandRefusal(ui->leSourceCommand->text());
        if (!command.isEmpty())
            return tr("Source command: %1").arg(command);
    }
    if (ui->cbFollowCentre->isChecked()) {
        const QString command = SweepPlan::commandRefusal(ui->leCentreCommand->text());
        if (!command.isEmpty())
            return tr("Centre command: %1").arg(command);
    }
    return plan().refusal();
}

// A plan that cannot be swept disables Start Sweep and says why, beside the button and in its
// tooltip.
void SweepPanel::showRefusal()
{
    const QString why = running ? QString() : refusal();
    ui->lbSweepRefusal->setText(why);
    ui->lbSweepRefusal->setVisible(!why.isEmpty());
    ui->pbSweepStart->setToolTip(why);
    if (!running)
        ui->pbSweepStart->setEnabled(why.isEmpty());
    if (!running)
        ui->pbSweepProgress->setRange(0, ui->sbSweepPoints->value());
}

void SweepPanel::sourceChosen(int index)
{
    const bool addressed = index != NoSource && index != SimulatedSource;
    ui->lbSourceAddress->setEnabled(addressed);
    ui->leSourceAddress->setEnabled(addressed && !running);
    ui->leSourceCommand->setEnabled(index != NoSource && !running);
    ui->cbSourceWait->setEnabled(index != NoSource && !running);
    switch (index) {
    case SourceUsbTmc:
        ui->leSourceAddress->setPlaceholderText(tr("/dev/usbtmc1"));
        break;
    case SourceGpib:
        ui->leSourceAddress->setPlaceholderText(tr("GPIB0::19::INSTR"));
        break;
    case SourceLanSocket:
    case SourceVxi11:
        ui->leSourceAddress->setPlaceholderText(tr("host[:port]"));
        break;
    default:
        ui->leSourceAddress->setPlaceholderText(QString());
        break;
    }
    showRefusal();
}

// The source's address from its fields: none for "None (analyser only)" (then hint stays empty),
// the simulated source, or what the Address field holds for the interface chosen, in every form
// the Controls panel takes (a VISA resource string included) and for GPIB also a bare primary
// address. A VISA string of another interface has chosen it already (followResourceString),
// unless that interface is not available.
std::optional<InstrumentAddress> SweepPanel::sourceAddress(QString *hint) const
{
    const int choice = ui->cbSourceInterface->currentIndex();
    if (choice == NoSource) {
        hint->clear();
        return InstrumentAddress();
    }
    InstrumentAddress address;
    if (choice == SimulatedSource) {
        address.gpibAddress = SimulatedAnalyser::sourceAddress;
        return address;
    }
    const InstrumentInterface chosen = interfaceOf(choice);
    const QString text = ui->leSourceAddress->text().trimmed();
    if (chosen == InstrumentInterface::Gpib) {
        if (GpibDriver::current()->isSimulated()) {
            *hint = tr("GPIB is not available: %1").arg(GpibDriver::current()->simulationReason());
            return std::nullopt;
        }
        static const QRegularExpression number(QStringLiteral("^\\d{1,2}$"));
        if (number.match(text).hasMatch()) {
            address.interface = InstrumentInterface::Gpib;
            address.gpibAddress = text.toInt();
            if (address.gpibAddress <= 30)
                return address;
            *hint = tr("A GPIB address is a number from 0 to 30");
            return std::nullopt;
        }
        if (text.isEmpty()) {
            *hint = tr("Type the source's GPIB address, for example GPIB0::19::INSTR");
            return std::nullopt;
        }
    }
    if (text.isEmpty()) {
        *hint = chosen == InstrumentInterface::UsbTmc
                    ? tr("Type the source's device file, for example /dev/usbtmc1")
                    : tr("Type the source's address: host[:port]");
        return std::nullopt;
    }
    const InstrumentAddress::Parsed parsed = InstrumentAddress::parse(text, chosen);
    if (!parsed.ok) {
        *hint = tr("Source address: %1").arg(parsed.hint);
        return std::nullopt;
    }
    if (parsed.address.interface != chosen) {
        *hint = tr("%1 is for the %2 interface, which is not available")
                    .arg(text, ui->cbSourceInterface->itemText(choiceOf(parsed.address.interface)));
        return std::nullopt;
    }
    return parsed.address;
}

// A VISA resource string of another interface chooses that interface, as in the Controls
// panel; GPIB without a driver stays refused with the reason.
void SweepPanel::followResourceString()
{
    const int choice = ui->cbSourceInterface->currentIndex();
    if (choice == NoSource || choice == SimulatedSource)
        return;
    const InstrumentAddress::Parsed parsed =
        InstrumentAddress::parse(ui->leSourceAddress->text(), interfaceOf(choice));
    if (!parsed.ok || parsed.address.interface == interfaceOf(choice))
        return;
    if (parsed.address.interface == InstrumentInterface::Gpib &&
        GpibDriver::current()->isSimulated())
        return;
    ui->cbSourceInterface->setCurrentIndex(choiceOf(parsed.address.interface));
}

void SweepPanel::setRunning(bool on)
{
    running = on;
    for (QWidget *field :
         {static_cast<QWidget *>(ui->gbSource), static_cast<QWidget *>(ui->gbAnalyser),
          static_cast<QWidget *>(ui->gbPlan)})
        field->setEnabled(!on);
    ui->pbSweepStart->setText(on ? tr("Stop Sweep") : tr("Start Sweep"));
    ui->pbSweepStart->setEnabled(true);
    if (!on)
        sourceChosen(ui->cbSourceInterface->currentIndex());
    else
        showRefusal();
}

// Start: checks the fields, locks the Controls panel (refused while it is busy) and hands the
// sweep to its thread. Stop: the sweep ends after the reading in flight.
void SweepPanel::startOrStop()
{
    if (running) {
        ui->pbSweepStart->setEnabled(false);
        sweep->requestStop();
        return;
    }
    if (!controls)
        return;
    const QString why = refusal();
    if (!why.isEmpty()) {
        statusBar->showMessage(tr("Sweep not started: %1").arg(why));
        return;
    }
    if (controls->state() != ControlsPanel::State::Idle) {
        statusBar->showMessage(
            tr("Sweep not started: a measurement or marker operation is running"));
        return;
    }
    const std::optional<InstrumentAddress> analyser = controls->instrumentAddress();
    if (!analyser || !controls->setSweepRunning(true))
        return;
    QString hint;
    SweepSettings settings;
    settings.analyser = *analyser;
    if (ui->cbSourceInterface->currentIndex() != NoSource)
        settings.source = sourceAddress(&hint);
    settings.sourceCommand = ui->leSourceCommand->text();
    settings.sourceWaits = ui->cbSourceWait->isChecked();
    settings.followCentre = ui->cbFollowCentre->isChecked();
    settings.centreCommand = ui->leCentreCommand->text();
    settings.searchPeak = ui->cbSweepPeak->isChecked();
    settings.settleMs = ui->sbSettleMs->value();
    settings.readings = controls->readingsPerPoint();
    settings.readingIntervalMs = controls->readingInterval();
    const SweepPlan sweepPlan = plan();
    ++sweepNumber;
    lastPointMessage.clear();
    lastPointPartial = false;
    setRunning(true);
    ui->pbSweepProgress->setRange(0, sweepPlan.points);
    ui->pbSweepProgress->setValue(0);
    QMetaObject::invokeMethod(
        sweep, [this, settings, sweepPlan] { sweep->start(settings, sweepPlan); },
        Qt::QueuedConnection);
}

// Each point goes into the table at once, and says what it is; a point from a run cut short
// says from how many readings.
void SweepPanel::sweepPointMeasured(int step, int total, double frequency,
                                    const InstrumentReport &report)
{
    Q_UNUSED(frequency);
    emit pointMeasured(report.x, report.mean, controls->chosenDy(report), sweepNumber);
    ui->pbSweepProgress->setValue(step);
    lastPointPartial = report.taken < report.count;
    if (lastPointPartial)
        lastPointMessage = tr("Sweep point %1 of %2 from %3 of %4 readings: %5")
                               .arg(step)
                               .arg(total)
                               .arg(report.taken)
                               .arg(report.count)
                               .arg(controls->pointText(report));
    else
        lastPointMessage =
            tr("Sweep point %1 of %2: %3").arg(step).arg(total).arg(controls->pointText(report));
    statusBar->showMessage(lastPointMessage);
}

void SweepPanel::sweepFinished(const SweepReport &report)
{
    controls->setSweepRunning(false);
    setRunning(false);
    showFailure(report);
    QString message;
    if (report.failure)
        message =
            tr("Sweep stopped at point %1 of %2: %3")
                .arg(report.endedAt)
                .arg(report.total)
                .arg(tr("%1: %2").arg(report.sourceFailed ? tr("the source") : tr("the analyser"),
                                      report.failure->reason));
    else if (report.stopped)
        message = tr("Sweep stopped at point %1 of %2: %3")
                      .arg(report.endedAt)
                      .arg(report.total)
                      .arg(tr("Stop was pressed"));
    else
        message = tr("Sweep done: %1 points from %2 Hz to %3 Hz")
                      .arg(report.measured)
                      .arg(g6(report.firstFrequency), g6(report.lastFrequency));
    // A point cut short keeps saying from how many readings it is.
    if ((report.failure || report.stopped) && lastPointPartial)
        message = tr("%1. %2").arg(lastPointMessage, message);
    statusBar->showMessage(message);
    if (closeAfterSweep) {
        closeAfterSweep = false;
        window->close();
    }
}

// One box for a failure of either instrument, naming it; a failed GPIB call adds the driver's
// status.
void SweepPanel::showFailure(const SweepReport &report)
{
    if (!report.failure)
        return;
    const InstrumentFailure &failure = *report.failure;
    const QString text = failure.kind == InstrumentFailure::Kind::Gpib
                             ? ControlsPanel::gpibStatusText(failure)
                             : failure.text;
    QMessageBox box(QMessageBox::Warning, tr("Instrument Error"),
                    report.sourceFailed ? tr("The source failed at point %1 of %2:\n%3")
                                              .arg(report.endedAt)
                                              .arg(report.total)
                                              .arg(text)
                                        : tr("The analyser failed at point %1 of %2:\n%3")
                                              .arg(report.endedAt)
                                              .arg(report.total)
                                              .arg(text),
                    QMessageBox::Ok, window);
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(
        tr("The %n points measured before stay in the table.", nullptr, report.measured));
    box.exec();
}

// As during a timed run: Stop and Keep ends the sweep now with a point from the readings of
// the run in flight, Discard drops those readings (the points measured before stay); the window
// closes once the sweep has ended. Cancel keeps the window and the sweep.
bool SweepPanel::mayClose()
{
    if (!running)
        return true;
    if (closeAfterSweep)
        return false;
    const CloseQuestion::Answer answer =
        CloseQuestion::ask(window, tr("A sweep is running (point %1 of %2).")
                                       .arg(sweep->currentStep())
                                       .arg(ui->pbSweepProgress->maximum()));
    if (answer == CloseQuestion::Cancel)
        return false;
    if (!running)
        return true;
    closeAfterSweep = true;
    ui->pbSweepStart->setEnabled(false);
    sweep->finishNow(answer == CloseQuestion::StopAndKeep);
    return false;
}
