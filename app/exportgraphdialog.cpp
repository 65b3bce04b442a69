#include "app/exportgraphdialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <qcustomplot.h>

#include <algorithm>

#include "ui_exportgraphdialog.h"

namespace {

// The formats in the order of the format list, with their file name extensions.
const GraphExport::Format formats[] = {GraphExport::Png, GraphExport::Jpg, GraphExport::Bmp,
                                       GraphExport::Pdf, GraphExport::Svg};
const char *const extensions[] = {"png", "jpg", "bmp", "pdf", "svg"};
const int formatCount = 5;
const GraphExport::Unit units[] = {GraphExport::Pixel, GraphExport::Millimetre, GraphExport::Inch};

// The width of one column of a journal page, where a figure is printed most often.
const double columnMm = 85;

int formatIndexOf(const QString &fileName)
{
    const QString extension = QFileInfo(fileName).suffix().toLower();
    for (int i = 0; i < formatCount; ++i)
        if (extension == QLatin1String(extensions[i]))
            return i;
    return -1;
}

} // namespace

ExportGraphDialog::ExportGraphDialog(QCustomPlot *plot, QCustomPlot *residuals, QWidget *parent)
    : QDialog(parent), ui(new Ui::ExportGraphDialog), plot(plot), residuals(residuals),
      previewTimer(new QTimer(this))
{
    ui->setupUi(this);
    previewTimer->setSingleShot(true);
    connect(previewTimer, &QTimer::timeout, this, &ExportGraphDialog::showPreview);

    const double fontPt = plot->xAxis->tickLabelFont().pointSizeF();
    ui->sbExportFontPt->setValue(fontPt > 0 ? fontPt : 9);
    const bool haveResiduals =
        residuals && residuals->graphCount() > 0 && residuals->graph(0)->dataCount() > 0;
    ui->cbExportResiduals->setEnabled(haveResiduals);
    if (!haveResiduals)
        ui->cbExportResiduals->setToolTip(tr("There are residuals once a fit has been made"));
    ui->leExportFile->setText(QDir::current().filePath(QStringLiteral("out_graph.png")));
    unitChanged();
    formatChanged();

    connect(ui->cbExportFormat, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ExportGraphDialog::formatChanged);
    connect(ui->cbExportUnit, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &ExportGraphDialog::unitChanged);
    connect(ui->leExportFile, &QLineEdit::textEdited, this, &ExportGraphDialog::fileNameEdited);
    for (QDoubleSpinBox *box : {ui->sbExportWidth, ui->sbExportHeight, ui->sbExportFontPt})
        connect(box, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
                &ExportGraphDialog::schedulePreview);
    connect(ui->sbExportDpi, QOverload<int>::of(&QSpinBox::valueChanged), this,
            &ExportGraphDialog::schedulePreview);
    connect(ui->cbExportResiduals, &QCheckBox::toggled, this, &ExportGraphDialog::schedulePreview);
    schedulePreview();
}

ExportGraphDialog::~ExportGraphDialog()
{
    delete ui;
}

GraphExport::Format ExportGraphDialog::format() const
{
    return formats[std::max(0, ui->cbExportFormat->currentIndex())];
}

GraphExport::Page ExportGraphDialog::page() const
{
    GraphExport::Page page;
    page.size = QSizeF(ui->sbExportWidth->value(), ui->sbExportHeight->value());
    page.unit = units[std::max(0, ui->cbExportUnit->currentIndex())];
    page.dpi = ui->sbExportDpi->value();
    page.fontPt = ui->sbExportFontPt->value();
    page.residuals = ui->cbExportResiduals->isChecked() ? residuals : nullptr;
    return page;
}

QString ExportGraphDialog::fileName() const
{
    return ui->leExportFile->text().trimmed();
}

// The file name takes the format's extension in place of another format's; the resolution
// matters for raster images only.
void ExportGraphDialog::formatChanged()
{
    const int index = std::max(0, ui->cbExportFormat->currentIndex());
    const QString name = fileName();
    if (!name.isEmpty() && formatIndexOf(name) != index) {
        const QFileInfo info(name);
        const QString base =
            formatIndexOf(name) >= 0 ? name.left(name.size() - info.suffix().size() - 1) : name;
        ui->leExportFile->setText(base + QLatin1Char('.') + QLatin1String(extensions[index]));
    }
    const bool raster = !GraphExport::isVector(format());
    ui->sbExportDpi->setEnabled(raster);
    ui->lbExportDpi->setEnabled(raster);
    showPixels();
    schedulePreview();
}

// Pixels start at the plot's size on the screen; millimetres and inches at the width of a
// journal column, with the plot's aspect.
void ExportGraphDialog::unitChanged()
{
    const GraphExport::Unit unit = units[std::max(0, ui->cbExportUnit->currentIndex())];
    const double aspect = double(plot->height()) / std::max(1, plot->width());
    const QSignalBlocker blockWidth(ui->sbExportWidth);
    const QSignalBlocker blockHeight(ui->sbExportHeight);
    if (unit == GraphExport::Pixel) {
        ui->sbExportWidth->setDecimals(0);
        ui->sbExportHeight->setDecimals(0);
        ui->sbExportWidth->setValue(plot->width());
        ui->sbExportHeight->setValue(plot->height());
    } else {
        const double width = unit == GraphExport::Inch ? columnMm / 25.4 : columnMm;
        const int decimals = unit == GraphExport::Inch ? 2 : 1;
        ui->sbExportWidth->setDecimals(decimals);
        ui->sbExportHeight->setDecimals(decimals);
        ui->sbExportWidth->setValue(width);
        ui->sbExportHeight->setValue(width * aspect);
    }
    showPixels();
    schedulePreview();
}

// A name typed with one of the five extensions chooses its format.
void ExportGraphDialog::fileNameEdited()
{
    const int index = formatIndexOf(fileName());
    if (index >= 0 && index != ui->cbExportFormat->currentIndex())
        ui->cbExportFormat->setCurrentIndex(index);
}

void ExportGraphDialog::showPixels()
{
    if (GraphExport::isVector(format())) {
        ui->lbExportPixels->setText(tr("vector picture"));
        return;
    }
    const QSize pixels = GraphExport::pixelSize(plot, page());
    ui->lbExportPixels->setText(tr("%1 × %2 pixels").arg(pixels.width()).arg(pixels.height()));
}

// Drawing a page of many points takes a while: the preview is drawn once the values have
// stopped changing, from the event loop.
void ExportGraphDialog::schedulePreview()
{
    showPixels();
    previewTimer->start(0);
}

// The page scaled down to the preview's size, laid out and lettered as the file will be.
void ExportGraphDialog::showPreview()
{
    GraphExport::Page shown = page();
    const double dpi = plot->logicalDpiX();
    const double widthIn = GraphExport::toInches(shown.size.width(), shown.unit, dpi);
    const double heightIn = GraphExport::toInches(shown.size.height(), shown.unit, dpi);
    const QSize room = ui->lbExportPreview->contentsRect().size() - QSize(4, 4);
    if (widthIn <= 0 || heightIn <= 0 || room.isEmpty())
        return;
    shown.dpi = std::min(room.width() / widthIn, room.height() / heightIn);
    const QImage picture = GraphExport::image(plot, shown);
    ui->lbExportPreview->setPixmap(QPixmap::fromImage(picture));
}

void ExportGraphDialog::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    schedulePreview();
}

void ExportGraphDialog::on_tbExportFile_clicked()
{
    const int index = std::max(0, ui->cbExportFormat->currentIndex());
    const QString filter =
        QStringLiteral("%1 (*.%2)")
            .arg(ui->cbExportFormat->currentText(), QLatin1String(extensions[index]));
    const QString name =
        QFileDialog::getSaveFileName(this, tr("Export Graph..."), fileName(), filter);
    if (name.isEmpty())
        return;
    confirmedName = name;
    ui->leExportFile->setText(name);
    fileNameEdited();
    formatChanged();
    confirmedName = fileName();
}

// A name without the format's extension gets it; a file there already is replaced only when
// the user agrees (the file dialog has asked already for a name chosen there).
void ExportGraphDialog::on_buttonBox_accepted()
{
    QString name = fileName();
    if (name.isEmpty()) {
        QMessageBox::warning(this, tr("Export Graph"), tr("Give the name of the file to write."));
        return;
    }
    const int index = std::max(0, ui->cbExportFormat->currentIndex());
    if (formatIndexOf(name) != index) {
        name += QLatin1Char('.') + QLatin1String(extensions[index]);
        ui->leExportFile->setText(name);
    }
    if (name != confirmedName && QFileInfo::exists(name) &&
        QMessageBox::question(this, tr("Export Graph"),
                              tr("%1 already exists.\nDo you want to replace it?")
                                  .arg(QDir::toNativeSeparators(name)),
                              QMessageBox::Yes | QMessageBox::No,
                              QMessageBox::No) != QMessageBox::Yes)
        return;
    QString error;
    if (!GraphExport::save(plot, name, format(), page(), &error)) {
        QMessageBox::warning(
            this, tr("Export Graph"),
            tr("Could not export graph %1: %2").arg(QDir::toNativeSeparators(name), error));
        return;
    }
    accept();
}
