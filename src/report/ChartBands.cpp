#include "report/ChartBands.h"

#include "history/Statistics.h"

std::vector<BandSeries> BandsOf(const ChartColumns& columns) {
    std::vector<ChartLine> lines;
    columns.Lines(StatisticsQuantities(), false, lines);
    std::vector<BandSeries> series;
    for (std::size_t q = 0; q < lines.size(); ++q) {
        if (lines[q].points.empty())
            continue;
        BandSeries band{StatisticsQuantities()[q], {}, std::move(lines[q].runStarts)};
        band.columns.reserve(lines[q].points.size());
        for (const ChartPoint& p : lines[q].points)
            band.columns.push_back({p.x, p.low, p.high, double(p.y)});
        series.push_back(std::move(band));
    }
    return series;
}
