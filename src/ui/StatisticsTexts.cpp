#include "ui/StatisticsTexts.h"

#include "settings/LangXml.h"
#include "settings/TextParts.h"

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

QStringList Items(const std::string& list) {
    QStringList items;
    for (const std::string& item : SplitItemList(list))
        items.append(FromUtf8(item));
    return items;
}

// A list shorter than needed is filled up from the fallback.
QStringList Complete(QStringList items, const QStringList& fallback) {
    while (items.size() < fallback.size())
        items.append(fallback[items.size()]);
    return items;
}

} // namespace

StatisticsTexts StatisticsTexts::Load(std::uint16_t language, bool fahrenheit) {
    LoadMultiLangXml file;
    file.SetLanguage(language);
    const auto withTip = [&](int key, QString& value, QString& tip) {
        const TextAndTip parts = SplitTextAndTip(file.Text(key));
        value = FromUtf8(parts.text);
        tip = parts.tip ? FromUtf8(*parts.tip) : QString();
    };

    StatisticsTexts texts;
    texts.period = FromUtf8(file.Text(StatisticsText::Period));
    QString periods;
    withTip(StatisticsText::Periods, periods, texts.periodsTip);
    texts.periods = Complete(Items(periods.toStdString()), {QStringLiteral("Day"), QStringLiteral("Week"),
                                                            QStringLiteral("Month"), QStringLiteral("Year")});
    withTip(StatisticsText::From, texts.from, texts.fromTip);
    withTip(StatisticsText::To, texts.to, texts.toTip);
    texts.columns =
        Complete(Items(file.Text(StatisticsText::Columns)),
                 {QStringLiteral("Period"), QStringLiteral("Measurement"), QStringLiteral("Values"),
                  QStringLiteral("Minimum"), QStringLiteral("Time of minimum"), QStringLiteral("Maximum"),
                  QStringLiteral("Time of maximum"), QStringLiteral("Mean")});
    texts.noData = FromUtf8(file.Text(StatisticsText::NoData));
    texts.csvFiles = FromUtf8(file.Text(StatisticsText::CsvFiles));
    texts.saveFailed = FromUtf8(file.Text(StatisticsText::SaveFailed));
    texts.computing = FromUtf8(file.Text(StatisticsText::Computing));
    texts.chart = ChartTexts::Load(language, fahrenheit);
    return texts;
}

QString StatisticsTexts::SaveFailedText(const QString& file) const {
    QString text = saveFailed;
    return text.contains(QLatin1String("%s")) ? text.replace(QLatin1String("%s"), file)
                                              : text + QLatin1Char(' ') + file;
}
