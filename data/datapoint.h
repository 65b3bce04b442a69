#ifndef DATAPOINT_H
#define DATAPOINT_H

// One measured point, one row of the table: the abscissa X, the value Y and its spread dY.
struct DataPoint
{
    double x = 0;
    double y = 0;
    double dy = 0;
};

#endif // DATAPOINT_H
