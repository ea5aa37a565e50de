#pragma once

#include "results/test_result.h"

#include <QFont>
#include <QRectF>

#include <vector>

class QPainter;

// The pictures of test results, drawn with a painter so that the window and the printed page
// show the same: a run's curve, log Ω over elapsed minutes with the 30 s, 1 min and 10 min
// marks, and an asset's trend, R(1 min) at 40 °C and PI over the dates of its results.
// `area` is in the painter's units; `font` gives the labels their size.
void paintResultCurve(QPainter& painter, const QRectF& area, const TestResult& result,
                      const QFont& font);
void paintAssetTrend(QPainter& painter, const QRectF& area, const std::vector<TestResult>& history,
                     const QFont& font);

// The whole decades (log10 of ohms) that hold the values: at least one decade.
std::pair<int, int> decadesAround(double lowOhms, double highOhms);
