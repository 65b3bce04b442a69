#ifndef MARKERPOSITION_H
#define MARKERPOSITION_H

// One reading of the analyser's marker: its X and the level Y there.
struct MarkerPosition
{
    double x = 0;
    double y = 0;
};

#endif // MARKERPOSITION_H
