#pragma once

#include <QString>

namespace Quorlix::Bench {

constexpr int OpenRequests = 100000;
constexpr int RawResults = 1000000;

// A SQLite laboratory database of realistic size for the benchmarks: 100,000 open requests spread
// over 25,000 samples, 1,000,000 raw results, 48 channels for the analyzer, validation ranges and
// armed controls. Built once into the given file (kept between runs); returns an error text.
QString EnsureBenchDatabase(const QString& path, const QString& analyzerId);

// A sample id that has open requests in the benchmark database.
QString BenchSampleId(int i);

} // namespace Quorlix::Bench
