#include "report/ReportTexts.h"

namespace {

std::string Replaced(std::string text, const std::string& mark, const std::string& by) {
    const std::size_t at = text.find(mark);
    return at == std::string::npos ? text : text.replace(at, mark.size(), by);
}

const ReportTexts English{
    "en",
    "Weather",
    "Now",
    "Week",
    "Archive",
    "Records",
    "Newest measurement",
    "Measured",
    "Today",
    "Yesterday",
    "Last 24 hours",
    "Last 7 days",
    "This month",
    "This year",
    "Measurement",
    "Value",
    "Minimum",
    "Maximum",
    "Mean",
    "at",
    "Day",
    "Month",
    "Climate summary",
    "All time",
    "Highest",
    "Lowest",
    "Week %s",
    "Indoor",
    "Outdoor %d",
    "Temperature",
    "Humidity",
    "Temperatures and humidities from %1 to %2. Where a point of the chart holds many measurements, the "
    "band spans their minimum to maximum and the line is their mean; breaks in a line are times without "
    "measurements.",
    "No measurements",
    "Years",
    {"January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
     "November", "December"},
    {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"}};

const ReportTexts German{
    "de",
    "Wetter",
    "Aktuell",
    "Woche",
    "Archiv",
    "Rekorde",
    "Neueste Messung",
    "Gemessen",
    "Heute",
    "Gestern",
    "Letzte 24 Stunden",
    "Letzte 7 Tage",
    "Dieser Monat",
    "Dieses Jahr",
    "Messgröße",
    "Wert",
    "Minimum",
    "Maximum",
    "Mittel",
    "um",
    "Tag",
    "Monat",
    "Klimaübersicht",
    "Gesamter Zeitraum",
    "Höchstwert",
    "Tiefstwert",
    "Woche %s",
    "Innen",
    "Außen %d",
    "Temperatur",
    "Luftfeuchte",
    "Temperaturen und Luftfeuchten vom %1 bis %2. Wo ein Punkt des Diagramms viele Messungen enthält, "
    "reicht das Band von ihrem Minimum bis zum Maximum, und die Linie ist ihr Mittel; Lücken in einer "
    "Linie sind Zeiten ohne Messungen.",
    "Keine Messwerte",
    "Jahre",
    {"Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
     "November", "Dezember"},
    {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun", "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"}};

const ReportTexts French{
    "fr",
    "Météo",
    "Maintenant",
    "Semaine",
    "Archives",
    "Records",
    "Dernière mesure",
    "Mesurée le",
    "Aujourd’hui",
    "Hier",
    "Dernières 24 heures",
    "7 derniers jours",
    "Ce mois",
    "Cette année",
    "Grandeur",
    "Valeur",
    "Minimum",
    "Maximum",
    "Moyenne",
    "à",
    "Jour",
    "Mois",
    "Résumé climatique",
    "Depuis le début",
    "Maximum",
    "Minimum",
    "Semaine %s",
    "Intérieur",
    "Extérieur %d",
    "Température",
    "Humidité",
    "Températures et humidités du %1 au %2. Là où un point du graphique réunit de nombreuses mesures, la "
    "bande va de leur minimum à leur maximum et la ligne est leur moyenne ; les interruptions d’une ligne "
    "sont des périodes sans mesures.",
    "Aucune mesure",
    "Années",
    {"janvier", "février", "mars", "avril", "mai", "juin", "juillet", "août", "septembre", "octobre",
     "novembre", "décembre"},
    {"janv.", "févr.", "mars", "avr.", "mai", "juin", "juil.", "août", "sept.", "oct.", "nov.", "déc."}};

} // namespace

const ReportTexts& ReportTextsFor(std::uint16_t languageId) {
    switch (languageId) {
    case 1031:
        return German;
    case 1036:
        return French;
    default:
        return English;
    }
}

std::string SensorName(const ReportTexts& texts, int sensor) {
    return sensor == 0 ? texts.indoor : Replaced(texts.outdoor, "%d", std::to_string(sensor));
}

std::string QuantityName(const ReportTexts& texts, const ChartQuantity& quantity) {
    const char* kind = quantity.kind == ChartQuantity::Temperature ? texts.temperature : texts.humidity;
    return std::string(kind) + " · " + SensorName(texts, quantity.sensor);
}
