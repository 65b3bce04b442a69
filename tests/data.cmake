# Measurement data: the Add Point dialog, data files and the calibration.
vantorel_add_test(tst_addpointdialog tst_addpointdialog.cpp)
vantorel_add_test(tst_datafiles tst_datafiles.cpp)
vantorel_add_test(tst_calibration tst_calibration.cpp)
