#ifndef DATAPOINT_H
#define DATAPOINT_H

// One measured point, one row of the table: the abscissa X, the value Y and its spread dY, and
// whether the user left it out of the fit (it stays in the table, the plot and the files).
struct DataPoint
{
    double x = 0;
    double y = 0;
    double dy = 0;
    bool leftOut = false;
};

#endif // DATAPOINT_H
