#pragma once

#include <QString>

#include <string_view>

// A strftime-style pattern of the options (%d %m %Y %y %H %M %S %I %p %%) as a Qt date-time
// format; other text is kept literally.
QString QtDateTimeFormat(std::string_view pattern);
