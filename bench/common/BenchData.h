#pragma once

// Databases and measurements shared by the benchmarks: an embedded database with the schema and
// a customer's number of categories and variants, the resident memory of the process, medians.

#include <QString>

#include <vector>

namespace bench {

// Category k (1-based) of a filled database: id 100000 + k, code "B" + six digits, data type
// k % 3; variant k: code "W" + six digits. Descriptions are "Categoria di prova k" and
// "Variante di prova k".
int categoryId(int k);
QString categoryCode(int k);
QString variantCode(int k);

// Creates (or reuses) the embedded database `path` with the schema, the demo rows and
// `categories` categories and `variants` variants of company 1, written straight into the
// SQLite file in one transaction (without the code indexes when the environment variable
// BENCH_NO_INDEXES is set, to compare with the tables as they were). Returns the connection string, empty on
// failure (the reason is printed).
QString makeDatabase(const QString& path, int categories, int variants);

// Resident memory of this process now and its peak, in megabytes.
double residentMegabytes();
double peakResidentMegabytes();

double median(std::vector<double> values);

} // namespace bench
