#include "ui/ChartTexts.h"

#include "settings/LangXml.h"
#include "settings/TextParts.h"

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// Fills a placeholder by replacement, never through printf: the text comes from a file.
QString Fill(QString text, const char* placeholder, const QString& value) {
    return text.replace(QLatin1String(placeholder), value);
}

} // namespace

ChartTexts ChartTexts::Load(std::uint16_t language, bool fahrenheit) {
    LoadMultiLangXml file;
    file.SetLanguage(language);
    const auto text = [&](int key) { return FromUtf8(file.Text(key)); };
    const auto withTip = [&](int key, QString& value, QString& tip) {
        const TextAndTip parts = SplitTextAndTip(file.Text(key));
        value = FromUtf8(parts.text);
        tip = parts.tip ? FromUtf8(*parts.tip) : QString();
    };

    ChartTexts texts;
    texts.indoorTemperature = text(ChartText::IndoorTemperature);
    texts.outdoorTemperature = text(ChartText::OutdoorTemperature);
    texts.indoorHumidity = text(ChartText::IndoorHumidity);
    texts.outdoorHumidity = text(ChartText::OutdoorHumidity);
    texts.temperatureAxis = text(ChartText::TemperatureAxis);
    texts.humidityAxis = text(ChartText::HumidityAxis);
    QString ranges;
    withTip(ChartText::Ranges, ranges, texts.rangesTip);
    for (const std::string& item : SplitItemList(ranges.toStdString()))
        texts.ranges.append(FromUtf8(item));
    withTip(ChartText::WholeHistory, texts.wholeHistory, texts.wholeHistoryTip);
    withTip(ChartText::Save, texts.save, texts.saveTip);
    texts.pngFiles = text(ChartText::PngFiles);
    texts.svgFiles = text(ChartText::SvgFiles);
    texts.noData = text(ChartText::NoData);
    texts.range = text(ChartText::Range);
    texts.saveFailed = text(ChartText::SaveFailed);
    texts.hint = text(ChartText::Hint);
    texts.unit = text(fahrenheit ? 100006 : 100005);
    return texts;
}

QString ChartTexts::SeriesName(const ChartQuantity& quantity) const {
    const bool temperature = quantity.kind == ChartQuantity::Temperature;
    const QString number = QString::number(quantity.sensor);
    if (quantity.sensor == 0) {
        const QString& name = temperature ? indoorTemperature : indoorHumidity;
        return name.isEmpty() ? (temperature ? QStringLiteral("T") : QStringLiteral("H")) + number : name;
    }
    const QString& pattern = temperature ? outdoorTemperature : outdoorHumidity;
    if (pattern.isEmpty())
        return (temperature ? QStringLiteral("T") : QStringLiteral("H")) + number;
    return pattern.contains(QLatin1String("%d")) ? Fill(pattern, "%d", number)
                                                 : pattern + QLatin1Char(' ') + number;
}

QString ChartTexts::TemperatureAxisTitle() const {
    return Fill(temperatureAxis, "%s", unit);
}

QString ChartTexts::SaveFailedText(const QString& file) const {
    return saveFailed.contains(QLatin1String("%s")) ? Fill(saveFailed, "%s", file)
                                                    : saveFailed + QLatin1Char(' ') + file;
}
