# Measurement data: opening and saving 100,000-line data files through the main window.
vantorel_add_bench(bench_datafiles bench_datafiles.cpp)
