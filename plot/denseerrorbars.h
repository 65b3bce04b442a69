#ifndef DENSEERRORBARS_H
#define DENSEERRORBARS_H

#include <qcustomplot.h>

// Vertical error bars for many points. Where more bars than pixel columns are in view, the bars
// that share a pixel column and overlap are drawn as one line, so that a hundred thousand bars
// draw in a fraction of the time. The picture is the same but for the last pixel of a line,
// which depends on the direction it is drawn in. Fewer bars, and every bar of a vector picture
// (PDF, SVG), are drawn as usual.
class DenseErrorBars : public QCPErrorBars
{
    Q_OBJECT

public:
    DenseErrorBars(QCPAxis *keyAxis, QCPAxis *valueAxis);

protected:
    void draw(QCPPainter *painter) override;
};

#endif // DENSEERRORBARS_H
