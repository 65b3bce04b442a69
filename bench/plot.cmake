# Exporting 100,000 points as SVG, PDF and PNG.
vantorel_add_bench(bench_graphexport bench_graphexport.cpp)
