#ifndef MARKERPOSITION_H
#define MARKERPOSITION_H

// One reading of the analyser's marker; {0, 0} stands for a failed reading.
struct MarkerPosition
{
    double x = 0;
    double y = 0;
};

#endif // MARKERPOSITION_H
