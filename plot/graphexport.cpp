#include "plot/graphexport.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSvgGenerator>
#include <qcustomplot.h>

#include <cmath>
#include <functional>
#include <vector>

#include "data/replacingfile.h"
#include "plot/legendcorner.h"

namespace {

// The share of the page's height that the main plot keeps when the residuals stand under it.
const double mainShare = 0.7;

// Lays the plot out in viewport as a replot would, without drawing, so that its margins can be
// read and its geometry matches what the screen shows again after an export.
void layOut(QCustomPlot *plot, const QRect &viewport)
{
    plot->setViewport(viewport);
    plot->plotLayout()->update(QCPLayoutElement::upPreparation);
    plot->plotLayout()->update(QCPLayoutElement::upMargins);
    plot->plotLayout()->update(QCPLayoutElement::upLayout);
}

// Puts the plots into the state an export draws them in and back when it goes out of scope: the
// text in the page's point size, every point drawn for a vector picture (no adaptive sampling),
// and the left and right margins of stacked plots made equal, so that their X axes align.
class ExportState
{
public:
    ExportState(const std::vector<QCustomPlot *> &plots, double fontPt, bool vector) : plots(plots)
    {
        for (QCustomPlot *plot : plots) {
            viewports.push_back(plot->viewport());
            if (fontPt > 0)
                setFonts(plot, fontPt);
            // A graph's legend sample runs 5 px past its icon and relies on clipping, which
            // the SVG writer does not do: the gap to the text grows by as much.
            if (vector && plot->legend) {
                QCPLegend *legend = plot->legend;
                const int padding = legend->iconTextPadding();
                legend->setIconTextPadding(padding + 5);
                restore.push_back([legend, padding] { legend->setIconTextPadding(padding); });
            }
            if (vector)
                for (int i = 0; i < plot->graphCount(); ++i) {
                    QCPGraph *graph = plot->graph(i);
                    const bool sampling = graph->adaptiveSampling();
                    graph->setAdaptiveSampling(false);
                    restore.push_back([graph, sampling] { graph->setAdaptiveSampling(sampling); });
                }
        }
    }

    ~ExportState()
    {
        for (auto it = restore.rbegin(); it != restore.rend(); ++it)
            (*it)();
        for (size_t i = 0; i < plots.size(); ++i)
            layOut(plots[i], viewports[i]);
    }

    // Lays each plot out at its height within width, and breaks an axis title that is longer
    // than its axis onto two lines (a residual plot a third of a page high has a short Y axis).
    void fitTitles(int width, const std::vector<int> &heights)
    {
        for (size_t i = 0; i < plots.size(); ++i) {
            layOut(plots[i], QRect(0, 0, width, heights[i]));
            const QRect area = plots[i]->axisRect()->rect();
            for (QCPAxis *axis : {plots[i]->xAxis, plots[i]->yAxis}) {
                const QString label = axis->label();
                const int length = axis == plots[i]->xAxis ? area.width() : area.height();
                if (label.contains(QLatin1Char('\n')) ||
                    QFontMetrics(axis->labelFont()).horizontalAdvance(label) <= length)
                    continue;
                const QString broken = brokenInTwo(label);
                if (broken == label)
                    continue;
                axis->setLabel(broken);
                restore.push_back([axis, label] { axis->setLabel(label); });
            }
        }
    }

    // Puts each legend into the emptiest corner of its plot laid out at its height within width,
    // as the page shows it: the screen's corner may lie over the curve on a page of other shape.
    void placeLegends(int width, const std::vector<int> &heights)
    {
        for (size_t i = 0; i < plots.size(); ++i) {
            QCustomPlot *plot = plots[i];
            if (!plot->legend || !plot->legend->visible())
                continue;
            layOut(plot, QRect(0, 0, width, heights[i]));
            narrowLegend(plot);
            const Qt::Alignment corner = LegendCorner::current(plot);
            LegendCorner::place(plot);
            restore.push_back(
                [plot, corner] { plot->axisRect()->insetLayout()->setInsetAlignment(0, corner); });
        }
    }

    // Lays out each plot at its height within width and fixes the left and right margins of
    // every axis rectangle to the widest of them.
    void alignMargins(int width, const std::vector<int> &heights)
    {
        int left = 0;
        int right = 0;
        for (size_t i = 0; i < plots.size(); ++i) {
            layOut(plots[i], QRect(0, 0, width, heights[i]));
            left = std::max(left, plots[i]->axisRect()->margins().left());
            right = std::max(right, plots[i]->axisRect()->margins().right());
        }
        for (QCustomPlot *plot : plots) {
            QCPAxisRect *rect = plot->axisRect();
            const QCP::MarginSides sides = rect->autoMargins();
            const QMargins margins = rect->margins();
            rect->setAutoMargins(QCP::msTop | QCP::msBottom);
            rect->setMargins(QMargins(left, margins.top(), right, margins.bottom()));
            restore.push_back([rect, sides, margins] {
                rect->setAutoMargins(sides);
                rect->setMargins(margins);
            });
        }
    }

private:
    // A legend wider than three quarters of the axis rectangle of a narrow page, which would hide
    // much of the curve (or, with text drawn a little wider than measured, pass the axis), breaks
    // the first line of each entry after the "; " nearest its middle (a method's name is made of
    // such parts).
    void narrowLegend(QCustomPlot *plot)
    {
        QCPLegend *legend = plot->legend;
        if (legend->minimumOuterSizeHint().width() * 4 <= plot->axisRect()->rect().width() * 3)
            return;
        for (int i = 0; i < legend->itemCount(); ++i) {
            auto *item = qobject_cast<QCPPlottableLegendItem *>(legend->item(i));
            if (!item)
                continue;
            QCPAbstractPlottable *plottable = item->plottable();
            const QString name = plottable->name();
            const int end = name.contains(QLatin1Char('\n')) ? int(name.indexOf(QLatin1Char('\n')))
                                                             : int(name.size());
            int best = -1;
            for (int at = name.indexOf(QLatin1String("; ")); at >= 0 && at < end;
                 at = name.indexOf(QLatin1String("; "), at + 1)) {
                if (best < 0 || std::abs(at - end / 2) < std::abs(best - end / 2))
                    best = at;
            }
            if (best < 0)
                continue;
            plottable->setName(name.left(best + 1) + QLatin1Char('\n') + name.mid(best + 2));
            restore.push_back([plottable, name] { plottable->setName(name); });
        }
    }

    // The text with the space nearest its middle made a line break; unchanged without a space.
    static QString brokenInTwo(const QString &text)
    {
        const int middle = int(text.size() / 2);
        int best = -1;
        for (int at = 0; at < text.size(); ++at) {
            if (text.at(at) == QLatin1Char(' ') &&
                (best < 0 || std::abs(at - middle) < std::abs(best - middle)))
                best = at;
        }
        if (best <= 0 || best == text.size() - 1)
            return text;
        QString broken = text;
        broken[best] = QLatin1Char('\n');
        return broken;
    }

    template <class Getter, class Setter> void setFont(Getter get, Setter set, double pt)
    {
        const QFont before = get();
        QFont font = before;
        font.setPointSizeF(pt);
        set(font);
        restore.push_back([set, before] { set(before); });
    }

    void setFonts(QCustomPlot *plot, double pt)
    {
        for (QCPAxis *axis : plot->axisRect()->axes()) {
            setFont([axis] { return axis->labelFont(); },
                    [axis](const QFont &f) { axis->setLabelFont(f); }, pt);
            setFont([axis] { return axis->tickLabelFont(); },
                    [axis](const QFont &f) { axis->setTickLabelFont(f); }, pt);
        }
        QCPLegend *legend = plot->legend;
        if (legend) {
            setFont([legend] { return legend->font(); },
                    [legend](const QFont &f) { legend->setFont(f); }, pt);
            for (int i = 0; i < legend->itemCount(); ++i) {
                QCPAbstractLegendItem *item = legend->item(i);
                setFont([item] { return item->font(); },
                        [item](const QFont &f) { item->setFont(f); }, pt);
            }
        }
        // A title above the plot stays a fifth larger than the rest, as on the screen.
        for (QCPLayoutElement *element : plot->plotLayout()->elements(true)) {
            if (auto *text = qobject_cast<QCPTextElement *>(element))
                setFont([text] { return text->font(); },
                        [text](const QFont &f) { text->setFont(f); }, pt * 1.2);
        }
    }

    std::vector<QCustomPlot *> plots;
    std::vector<QRect> viewports;
    std::vector<std::function<void()>> restore;
};

// Draws page onto painter, whose coordinates are pixels of the screen: the plot, and the
// residuals under it with the same left and right margins, in logical size. Pens one pixel wide
// on the screen grow with the scale of a sharper image and of a vector picture; at the screen's
// own scale they are drawn as on the screen.
bool drawPage(QCPPainter *painter, QCustomPlot *plot, const GraphExport::Page &page,
              const QSize &logical, bool vector)
{
    if (!painter->isActive())
        return false;
    if (vector) {
        painter->setMode(QCPPainter::pmVectorized);
        painter->setMode(QCPPainter::pmNoCaching);
    }
    if (vector || painter->transform().m11() > 1)
        painter->setMode(QCPPainter::pmNonCosmetic);
    if (!page.residuals) {
        ExportState state({plot}, page.fontPt, vector);
        state.fitTitles(logical.width(), {logical.height()});
        state.placeLegends(logical.width(), {logical.height()});
        plot->toPainter(painter, logical.width(), logical.height());
        return true;
    }
    const int top = std::max(1, int(std::lround(logical.height() * mainShare)));
    const int bottom = std::max(1, logical.height() - top);
    ExportState state({plot, page.residuals}, page.fontPt, vector);
    state.fitTitles(logical.width(), {top, bottom});
    state.alignMargins(logical.width(), {top, bottom});
    state.placeLegends(logical.width(), {top, bottom});
    plot->toPainter(painter, logical.width(), top);
    painter->save();
    painter->translate(0, top);
    page.residuals->toPainter(painter, logical.width(), bottom);
    painter->restore();
    return true;
}

double screenDpi(QCustomPlot *plot)
{
    return plot->logicalDpiX();
}

// The page in pixels of the screen.
QSize logicalSize(QCustomPlot *plot, const GraphExport::Page &page)
{
    const double dpi = screenDpi(plot);
    return QSize(int(std::lround(GraphExport::toInches(page.size.width(), page.unit, dpi) * dpi)),
                 int(std::lround(GraphExport::toInches(page.size.height(), page.unit, dpi) * dpi)));
}

// The generator writes the size rounded to whole pixels; the page is given the exact size asked
// for, which the view box fills.
QByteArray exactSvgSize(QByteArray svg, const GraphExport::Page &page, double dpi)
{
    const double mm = 25.4;
    const QString size =
        QStringLiteral("<svg width=\"%1mm\" height=\"%2mm\"")
            .arg(GraphExport::toInches(page.size.width(), page.unit, dpi) * mm, 0, 'g', 8)
            .arg(GraphExport::toInches(page.size.height(), page.unit, dpi) * mm, 0, 'g', 8);
    static const QRegularExpression root(QStringLiteral("<svg width=\"[^\"]*\" height=\"[^\"]*\""));
    const QRegularExpressionMatch match = root.match(QString::fromLatin1(svg.left(2048)));
    if (match.hasMatch())
        svg.replace(match.capturedStart(), match.capturedLength(), size.toLatin1());
    return svg;
}

} // namespace

GraphExport::Format GraphExport::formatOf(const QString &extension)
{
    if (extension == QLatin1String("jpg"))
        return Jpg;
    if (extension == QLatin1String("pdf"))
        return Pdf;
    if (extension == QLatin1String("png"))
        return Png;
    if (extension == QLatin1String("bmp"))
        return Bmp;
    if (extension == QLatin1String("svg"))
        return Svg;
    return Unknown;
}

double GraphExport::toInches(double length, Unit unit, double screenDpi)
{
    switch (unit) {
    case Millimetre:
        return length / 25.4;
    case Inch:
        return length;
    case Pixel:
        break;
    }
    return length / screenDpi;
}

// One image pixel per pixel of the screen, the fonts as they are.
GraphExport::Page GraphExport::screenPage(QCustomPlot *plot)
{
    Page page;
    page.size = plot->viewport().size();
    page.unit = Pixel;
    page.dpi = screenDpi(plot);
    return page;
}

QSize GraphExport::pixelSize(QCustomPlot *plot, const Page &page)
{
    const double dpi = screenDpi(plot);
    return QSize(int(std::lround(toInches(page.size.width(), page.unit, dpi) * page.dpi)),
                 int(std::lround(toInches(page.size.height(), page.unit, dpi) * page.dpi)));
}

// The plot is laid out in pixels of the screen and drawn scaled to the resolution: a font of so
// many points and a pen one pixel wide keep their size on paper at every resolution. It is drawn
// on a pixmap, as the screen's picture is, so that its text is measured and drawn at the same
// resolution as there. The image carries its resolution.
QImage GraphExport::image(QCustomPlot *plot, const Page &page)
{
    const QSize pixels = pixelSize(plot, page);
    if (pixels.isEmpty() || pixels.width() > 30000 || pixels.height() > 30000)
        return QImage();
    QPixmap canvas(pixels);
    if (canvas.isNull())
        return QImage();
    canvas.fill(Qt::white);
    const double scale = page.dpi / screenDpi(plot);
    const QSize logical(std::max(1, int(std::lround(pixels.width() / scale))),
                        std::max(1, int(std::lround(pixels.height() / scale))));
    QCPPainter painter(&canvas);
    painter.scale(scale, scale);
    if (!drawPage(&painter, plot, page, logical, false))
        return QImage();
    painter.end();
    QImage result = canvas.toImage();
    const int perMetre = int(std::lround(page.dpi / 0.0254));
    result.setDotsPerMeterX(perMetre);
    result.setDotsPerMeterY(perMetre);
    return result;
}

// A PDF page or an SVG picture has the exact size of the page and the resolution of the screen,
// so that the plot is laid out as it is for an image; text stays text, lines stay lines, and no
// creator or title is written.
QByteArray GraphExport::render(QCustomPlot *plot, Format format, const Page &page)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QSize logical = logicalSize(plot, page);
    if (logical.isEmpty())
        return QByteArray();
    const double dpi = screenDpi(plot);
    if (format == Pdf) {
        QPdfWriter writer(&buffer);
        writer.setCreator(QString());
        writer.setTitle(QString());
        writer.setResolution(int(dpi));
        const QPageSize size =
            page.unit == Millimetre
                ? QPageSize(page.size, QPageSize::Millimeter, QString(), QPageSize::ExactMatch)
            : page.unit == Inch
                ? QPageSize(page.size, QPageSize::Inch, QString(), QPageSize::ExactMatch)
                : QPageSize(page.size * 72.0 / dpi, QPageSize::Point, QString(),
                            QPageSize::ExactMatch);
        writer.setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF()));
        QCPPainter painter(&writer);
        if (!drawPage(&painter, plot, page, logical, true))
            return QByteArray();
        painter.end();
        return buffer.data();
    }
    if (format == Svg) {
        QSvgGenerator generator;
        generator.setOutputDevice(&buffer);
        generator.setTitle(QString());
        generator.setDescription(QString());
        generator.setResolution(int(dpi));
        generator.setSize(logical);
        generator.setViewBox(QRect(QPoint(0, 0), logical));
        QCPPainter painter(&generator);
        if (!drawPage(&painter, plot, page, logical, true))
            return QByteArray();
        painter.end();
        return exactSvgSize(buffer.data(), page, dpi);
    }
    const char *const names[] = {"", "JPG", "", "PNG", "BMP", ""};
    const QImage picture = image(plot, page);
    if (picture.isNull() || !picture.save(&buffer, names[format], -1))
        return QByteArray();
    return buffer.data();
}

bool GraphExport::save(QCustomPlot *plot, const QString &fileName, Format format, QString *error)
{
    return save(plot, fileName, format, screenPage(plot), error);
}

bool GraphExport::save(QCustomPlot *plot, const QString &fileName, Format format, const Page &page,
                       QString *error)
{
    ReplacingFile file(fileName);
    if (!file.open()) {
        *error = file.error();
        return false;
    }
    const QByteArray bytes = format == Unknown ? QByteArray() : render(plot, format, page);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("the plot could not be drawn");
        return false;
    }
    if (!file.write(bytes.constData(), bytes.size()) || !file.commit()) {
        *error = file.error();
        return false;
    }
    return true;
}
