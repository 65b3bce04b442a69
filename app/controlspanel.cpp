#include "app/controlspanel.h"

#include <QComboBox>
#include <QCompleter>
#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QStringListModel>
#include <QTextDocument>
#include <QThread>

#include "app/closequestion.h"
#include "instrument/boundedcall.h"
#include "instrument/gpibdriver.h"
#include "instrument/instrumentcontroller.h"
#include "ui_mainwindow.h"

namespace {

// Picks the GPIB driver as the program starts, so the debug line naming it comes first.
void selectGpibDriver()
{
    GpibDriver::current();
}

QString g6(double value)
{
    return QString::number(value, 'g', 6);
}

// A tooltip that shows text as it is: a tooltip takes anything that looks like markup as
// markup, so the text is escaped and kept on its lines.
QString plainToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(text.toHtmlEscaped());
}

InstrumentInterface interfaceAt(int index)
{
    return static_cast<InstrumentInterface>(index);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(selectGpibDriver)

ControlsPanel::ControlsPanel(QMainWindow *window, Ui::MainWindow *ui)
    : QObject(window), window(window), ui(ui)
{
    instrumentThread = new QThread(this);
    instrument = new InstrumentController;
    instrument->setReadingInterval(defaultReadingIntervalMs);
    instrument->moveToThread(instrumentThread);
    connect(instrumentThread, &QThread::finished, instrument, &QObject::deleteLater);
    connect(instrument, &InstrumentController::markerFinished, this,
            &ControlsPanel::markerFinished);
    connect(instrument, &InstrumentController::readingTaken, this, &ControlsPanel::showProgress);
    connect(instrument, &InstrumentController::runFinished, this, &ControlsPanel::runFinished);
    connect(instrument, &InstrumentController::identified, this,
            &ControlsPanel::instrumentIdentified);
    instrumentThread->start();

    // Readings of the simulated analyser must never pass for measurements: the permanent
    // label always names the instrument in use.
    instrumentLabel = new QLabel(window);
    instrumentLabel->setObjectName(QStringLiteral("lbInstrument"));
    // The instrument names itself here: whatever it answers is shown as text, never as markup.
    instrumentLabel->setTextFormat(Qt::PlainText);
    ui->statusBar->addPermanentWidget(instrumentLabel);

    ui->cbInterface->addItems(InstrumentAddress::interfaceNames());
    ui->leInstrumentAddress->setCompleter(new QCompleter(new QStringListModel(this), this));
    const bool gpib = !GpibDriver::current()->isSimulated();
    interfaceIndex =
        static_cast<int>(gpib ? InstrumentInterface::Gpib : InstrumentInterface::Simulated);
    ui->cbInterface->setCurrentIndex(interfaceIndex);
    connect(ui->cbInterface, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ControlsPanel::chooseInterface);
    connect(ui->leInstrumentAddress, &QLineEdit::textEdited, this,
            &ControlsPanel::readAddressField);
    connect(ui->sbGpibAddress, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &ControlsPanel::showInstrumentName);
    showInterfaceFields();
}

ControlsPanel::~ControlsPanel()
{
    instrument->finishNow(false);
    instrumentThread->quit();
    instrumentThread->wait();
    BoundedCall::joinAbandoned(abandonedCallsWaitMs);
}

void ControlsPanel::setReadingInterval(int milliseconds)
{
    intervalMs = milliseconds;
    instrument->setReadingInterval(milliseconds);
}

int ControlsPanel::readingsPerPoint() const
{
    return ui->sbPointsCount->value();
}

bool ControlsPanel::setSweepRunning(bool running)
{
    if (running && current != State::Idle)
        return false;
    setState(running ? State::Sweep : State::Idle);
    return true;
}

double ControlsPanel::chosenDy(const InstrumentReport &report) const
{
    return ui->cbDyKind->currentIndex() == 1 ? report.standardError : report.deviation;
}

// A standard error needs two readings; with one the point's dY is 0 and the text says it is
// unknown, as it does for the spread.
QString ControlsPanel::pointText(const InstrumentReport &report) const
{
    const bool standardError = ui->cbDyKind->currentIndex() == 1;
    QString dY = g6(chosenDy(report));
    if (report.taken == 1)
        dY = standardError ? tr("%1 (one reading: standard error unknown)").arg(dY)
                           : tr("%1 (one reading: spread unknown)").arg(dY);
    else if (standardError)
        dY = tr("%1 (standard error of %2 readings)").arg(dY).arg(report.taken);
    QString text = tr("X = %1; Y = %2; dY = %3").arg(g6(report.x), g6(report.mean), dY);
    if (report.xHigh != report.xLow)
        text = tr("%1; X moved by %2 during the run").arg(text, g6(report.xHigh - report.xLow));
    return text;
}

void ControlsPanel::setState(State next)
{
    current = next;
    const bool fieldsLocked =
        next == State::MarkerOperation || next == State::Run || next == State::Sweep;
    ui->cbInterface->setEnabled(!fieldsLocked);
    ui->leInstrumentAddress->setEnabled(!fieldsLocked);
    ui->sbGpibAddress->setEnabled(!fieldsLocked);
    ui->sbPointsCount->setEnabled(!fieldsLocked);
    ui->pbSearchPeak->setEnabled(!fieldsLocked);
    ui->pbGetMarkerPos->setEnabled(!fieldsLocked);
    ui->cbDyKind->setEnabled(!fieldsLocked);
    ui->pbStartMeasure->setEnabled(next != State::MarkerOperation && next != State::Sweep);
    ui->pbStartMeasure->setText(next == State::Run ? tr("Stop") : tr("Start"));
}

// Takes the interface chosen in the field. GPIB without a driver library is refused with the
// loader's reason, and the choice stays where it was.
void ControlsPanel::chooseInterface(int index)
{
    if (interfaceAt(index) == InstrumentInterface::Gpib && GpibDriver::current()->isSimulated()) {
        ui->cbInterface->setCurrentIndex(interfaceIndex);
        ui->statusBar->showMessage(
            tr("GPIB is not available: %1").arg(GpibDriver::current()->simulationReason()));
        return;
    }
    if (index == interfaceIndex)
        return;
    addressTexts[interfaceIndex] = ui->leInstrumentAddress->text();
    interfaceIndex = index;
    ui->leInstrumentAddress->setText(addressTexts[index]);
    showInterfaceFields();
}

// Shows the address fields the interface needs: the GPIB address for GPIB, the Address field
// for LAN and USB-TMC (offering the USB-TMC device files present).
void ControlsPanel::showInterfaceFields()
{
    const InstrumentInterface chosen = interfaceAt(interfaceIndex);
    const bool gpib = chosen == InstrumentInterface::Gpib;
    ui->label->setVisible(gpib);
    ui->sbGpibAddress->setVisible(gpib);
    const bool field = InstrumentAddress::usesAddressField(chosen);
    ui->lbInstrumentAddress->setVisible(field);
    ui->leInstrumentAddress->setVisible(field);
    // The panel keeps its height with one address row or none, and grows by the row it shows.
    if (controlsBaseHeight == 0)
        controlsBaseHeight = ui->dwControls->maximumHeight();
    const int height =
        controlsBaseHeight +
        (gpib || field ? ui->cbInterface->sizeHint().height() + ui->verticalLayout->spacing() : 0);
    ui->dwControls->setMinimumHeight(height);
    ui->dwControls->setMaximumHeight(height);
    QStringList offered;
    if (chosen == InstrumentInterface::UsbTmc) {
        for (const QString &name :
             QDir(QStringLiteral("/dev")).entryList({QStringLiteral("usbtmc*")}, QDir::System))
            offered << QStringLiteral("/dev/") + name;
        ui->leInstrumentAddress->setPlaceholderText(offered.isEmpty() ? tr("/dev/usbtmc0")
                                                                      : offered.first());
    } else {
        ui->leInstrumentAddress->setPlaceholderText(tr("host[:port]"));
    }
    static_cast<QStringListModel *>(ui->leInstrumentAddress->completer()->model())
        ->setStringList(offered);
    readAddressField();
}

// Reads the Address field as it is typed: a VISA resource string chooses its interface, and
// a text that is no address is marked, with the reason in its tooltip.
void ControlsPanel::readAddressField()
{
    QString hint;
    if (InstrumentAddress::usesAddressField(interfaceAt(interfaceIndex)) &&
        !ui->leInstrumentAddress->text().isEmpty()) {
        const InstrumentAddress::Parsed parsed =
            InstrumentAddress::parse(ui->leInstrumentAddress->text(), interfaceAt(interfaceIndex));
        hint = parsed.hint;
        const int named = static_cast<int>(parsed.address.interface);
        if (parsed.ok && named != interfaceIndex) {
            if (parsed.address.interface == InstrumentInterface::Gpib)
                ui->sbGpibAddress->setValue(parsed.address.gpibAddress);
            const QString text = ui->leInstrumentAddress->text();
            ui->cbInterface->setCurrentIndex(named);
            if (interfaceIndex == named) {
                if (InstrumentAddress::usesAddressField(parsed.address.interface)) {
                    ui->leInstrumentAddress->setText(text);
                    readAddressField();
                }
                return;
            }
            hint = tr("%1 is for the %2 interface, which is not available")
                       .arg(text, InstrumentAddress::interfaceNames().at(named));
        }
    }
    ui->leInstrumentAddress->setToolTip(hint);
    ui->leInstrumentAddress->setStyleSheet(hint.isEmpty() ? QString()
                                                          : QStringLiteral("color: #c00000;"));
    showInstrumentName();
}

// The permanent label: "Simulated analyser" with the reason it stands in, "GPIB %1", or the
// address of a LAN or USB analyser until its identity is known.
void ControlsPanel::showInstrumentName()
{
    switch (interfaceAt(interfaceIndex)) {
    case InstrumentInterface::Simulated:
        instrumentLabel->setText(tr("Simulated analyser"));
        instrumentLabel->setToolTip(GpibDriver::simulated()->simulationReason());
        return;
    case InstrumentInterface::Gpib:
        instrumentLabel->setText(tr("GPIB %1").arg(ui->sbGpibAddress->value()));
        instrumentLabel->setToolTip(GpibDriver::current()->name());
        return;
    default:
        break;
    }
    const InstrumentAddress::Parsed parsed =
        InstrumentAddress::parse(ui->leInstrumentAddress->text(), interfaceAt(interfaceIndex));
    instrumentLabel->setText(parsed.ok ? parsed.address.where() : tr("No address"));
    instrumentLabel->setToolTip(parsed.ok ? tr("Not identified yet") : parsed.hint);
}

// The analyser's answer to *IDN?: maker and model in the label (at most 40 characters), the
// whole answer and the address in its tooltip.
void ControlsPanel::instrumentIdentified(const InstrumentAddress &address, const QString &identity)
{
    const std::optional<InstrumentAddress> current = instrumentAddress();
    if (!current || *current != address)
        return;
    const QStringList fields = identity.split(QLatin1Char(','));
    QString name = fields.mid(0, 2).join(QLatin1Char(' ')).simplified();
    if (name.isEmpty())
        name = address.where();
    if (name.size() > 40)
        name = name.left(39) + QChar(0x2026);
    instrumentLabel->setText(name);
    instrumentLabel->setToolTip(plainToolTip(tr("%1\n%2").arg(identity, address.where())));
}

// The address of the instrument chosen, read from the fields now. An Address field that holds
// no address is refused with its hint, before any connection is tried.
std::optional<InstrumentAddress> ControlsPanel::instrumentAddress()
{
    const InstrumentInterface chosen = interfaceAt(interfaceIndex);
    InstrumentAddress address;
    address.interface = chosen;
    if (chosen == InstrumentInterface::Gpib)
        address.gpibAddress = ui->sbGpibAddress->value();
    if (!InstrumentAddress::usesAddressField(chosen))
        return address;
    const InstrumentAddress::Parsed parsed =
        InstrumentAddress::parse(ui->leInstrumentAddress->text(), chosen);
    if (parsed.ok && parsed.address.interface == chosen)
        return parsed.address;
    readAddressField();
    ui->statusBar->showMessage(
        tr("Address not accepted: %1").arg(ui->leInstrumentAddress->toolTip()));
    ui->leInstrumentAddress->setFocus();
    return std::nullopt;
}

// A failed transfer gets a box: "GPIB Error" with the driver's status for a GPIB call,
// "Instrument Error" for the other interfaces. A reply that is no reading gets none: the status
// bar says it.
void ControlsPanel::showFailure(const InstrumentReport &report)
{
    if (!report.failure || report.failure->kind == InstrumentFailure::Kind::Reply)
        return;
    const InstrumentFailure &failure = *report.failure;
    const bool gpib = failure.kind == InstrumentFailure::Kind::Gpib;
    QMessageBox box(QMessageBox::Warning, gpib ? tr("GPIB Error") : tr("Instrument Error"),
                    gpib ? gpibStatusText(failure) : failure.text, QMessageBox::Ok, window);
    // The text may quote the instrument: it is shown as text, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setInformativeText(failure.cause);
    box.exec();
}

// The GPIB box's five lines: the call that failed, the status words in hexadecimal, the names
// of the status bits set, the name of the error code, and the byte count.
QString ControlsPanel::gpibStatusText(const InstrumentFailure &failure)
{
    QString text = QStringLiteral("%1\r\nibsta = 0x%2, iberr = 0x%3\r\n")
                       .arg(failure.text, QString::number(static_cast<uint>(failure.ibsta), 16),
                            QString::number(static_cast<uint>(failure.iberr), 16));
    text += QStringLiteral("ibsta ===> ") + GpibDriver::statusNames(failure.ibsta);
    text += QStringLiteral("\r\niberr ===> ");
    const QString errorName = GpibDriver::errorName(failure.iberr);
    if (!errorName.isEmpty())
        text += errorName + QLatin1Char(' ');
    text += QStringLiteral("\r\nibcnt = %1").arg(failure.ibcnt);
    return text;
}

// A status message followed by what the connections did on their own (a late reply dropped).
QString ControlsPanel::withNotices(const QString &message, const QStringList &notices)
{
    if (notices.isEmpty())
        return message;
    return tr("%1 (%2)").arg(message, notices.join(QStringLiteral("; ")));
}

// Shows the marker position, or what kept the operation from reading it.
void ControlsPanel::markerFinished(const InstrumentReport &report)
{
    setState(State::Idle);
    showFailure(report);
    // The message of an earlier reading must not stay behind a failure: it would pass for this
    // one's result.
    QString message;
    if (report.marker)
        message = tr("Marker Pos: X = %1; Y = %2").arg(g6(report.marker->x), g6(report.marker->y));
    else if (report.failure && report.failure->kind == InstrumentFailure::Kind::Reply)
        message = report.failure->text;
    else if (report.failure)
        message = tr("Marker not read: %1").arg(report.failure->reason);
    ui->statusBar->showMessage(withNotices(message, report.notices));
}

void ControlsPanel::getMarkerPos()
{
    runMarkerOperation(false);
}

void ControlsPanel::searchPeak()
{
    runMarkerOperation(true);
}

// Starts Get Marker Pos (or Search Peak, which reads the marker after the peak search) and
// returns: the window stays live, markerFinished goes on when the controller has ended it.
// Meanwhile the fields and the buttons are locked, and nothing else starts.
void ControlsPanel::runMarkerOperation(bool searchPeak)
{
    if (current != State::Idle)
        return;
    const std::optional<InstrumentAddress> address = instrumentAddress();
    if (!address)
        return;
    setState(State::MarkerOperation);
    QMetaObject::invokeMethod(
        instrument,
        [this, address, searchPeak] {
            if (searchPeak)
                instrument->searchPeak(*address);
            else
                instrument->getMarkerPos(*address);
        },
        Qt::QueuedConnection);
}

// Start pressed while a stopped run still waits for its last reading is ignored: the pending
// reading closes the old run first, so two runs never overlap.
void ControlsPanel::startOrStop()
{
    switch (current) {
    case State::Run:
        setState(State::Stopping);
        instrument->requestStop();
        return;
    case State::MarkerOperation:
    case State::Stopping:
    case State::Sweep:
        return;
    case State::Idle:
        break;
    }
    const std::optional<InstrumentAddress> address = instrumentAddress();
    if (!address)
        return;
    setState(State::Run);
    const int count = ui->sbPointsCount->value();
    QMetaObject::invokeMethod(
        instrument, [this, address, count] { instrument->startRun(*address, count); },
        Qt::QueuedConnection);
}

void ControlsPanel::showProgress(int taken, int count)
{
    if (count > 0)
        ui->progressBar->setValue(taken * 100 / count);
}

// The run has ended: its point goes to the table (X of the last reading, the mean of Y, the
// population standard deviation of Y). A run that ended before its count says from how many
// readings its point is, and why it ended; the progress bar keeps the share taken. A close that
// waited for the run goes on then.
void ControlsPanel::runFinished(const InstrumentReport &report)
{
    setState(State::Idle);
    if (!report.discarded)
        showRun(report);
    if (closeAfterRun) {
        closeAfterRun = false;
        window->close();
    }
}

void ControlsPanel::showRun(const InstrumentReport &report)
{
    showFailure(report);
    QString why;
    if (report.failure)
        why = report.failure->reason;
    else if (report.stopped)
        why = tr("Stop was pressed");

    if (report.taken == 0) {
        ui->progressBar->setValue(0);
        ui->statusBar->showMessage(
            withNotices(tr("Measurement stopped: no reading succeeded. %1").arg(why).trimmed(),
                        report.notices));
        return;
    }
    emit pointMeasured(report.x, report.mean, chosenDy(report));
    const bool complete = report.taken >= report.count;
    if (complete) {
        ui->progressBar->setValue(100);
        ui->statusBar->showMessage(
            withNotices(tr("Point added: %1").arg(pointText(report)), report.notices));
        return;
    }
    ui->progressBar->setValue(report.taken * 100 / report.count);
    ui->statusBar->showMessage(withNotices(tr("Point added from %1 of %2 readings: %3. %4")
                                               .arg(report.taken)
                                               .arg(report.count)
                                               .arg(pointText(report), why),
                                           report.notices));
}

// Closing while a run is going asks what becomes of it: Stop and Keep ends it now with a point
// from the readings so far, Discard drops them; either way the window closes once the run's end
// has come (and the table's own question follows). Cancel keeps the window and the run. A run
// that ends before the answer reaches it keeps its point, as one that ended while the question
// was up.
bool ControlsPanel::mayClose()
{
    switch (current) {
    case State::Idle:
    case State::MarkerOperation:
    case State::Sweep:
        return true;
    case State::Run:
    case State::Stopping:
        break;
    }
    if (closeAfterRun)
        return false;
    const CloseQuestion::Answer answer =
        CloseQuestion::ask(window, tr("A measurement is running (%1 of %2 readings).")
                                       .arg(instrument->readingsTaken())
                                       .arg(ui->sbPointsCount->value()));
    if (answer == CloseQuestion::Cancel)
        return false;
    // The run may have ended while the question was up.
    if (current == State::Idle)
        return true;
    setState(State::Stopping);
    closeAfterRun = true;
    instrument->finishNow(answer == CloseQuestion::StopAndKeep);
    return false;
}
