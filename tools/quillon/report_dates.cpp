// The run lines' times: a client's general date in whatever locale it had,
// days and seconds since 1970 to order runs by, and their ISO forms.
#include "tools/quillon/report_dates.h"

#include <cstdio>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/text.h"
#include "tools/quillon/report_text.h"

namespace quillon::tools::report {

bool PossibleDate(const DateTime& date) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (date.year % 4 == 0 && date.year % 100 != 0) || date.year % 400 == 0;
  return !(date.year < 1980 || date.year > 2100 || date.month < 1 || date.month > 12 ||
           date.day < 1 || date.day > kDays[date.month - 1] ||
           (date.month == 2 && date.day == 29 && !leap) || date.hour < 0 || date.hour > 23 ||
           date.minute < 0 || date.minute > 59 || date.second < 0 || date.second > 59);
}

bool NotEarlier(const std::optional<DateTime>& when, const std::optional<DateTime>& last) {
  if (when && last) return when->Seconds() >= last->Seconds();
  return when.has_value() || !last.has_value();
}

long long DateTime::Day() const { return platform::DaysSinceEpoch(year, month, day); }

long long DateTime::Seconds() const {
  return Day() * 86400 + hour * 3600 + minute * 60 + second;
}

std::string DateTime::Iso() const {
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute,
                second);
  return text;
}

std::string IsoDay(long long day) {
  // Howard Hinnant's civil_from_days.
  const long long z = day + 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  const long long d = doy - (153 * mp + 2) / 5 + 1;
  const long long m = mp < 10 ? mp + 3 : mp - 9;
  const long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
  char text[64];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld", y, m, d);
  return text;
}

std::optional<DateTime> ParseGeneralDate(std::string_view text,
                                         std::map<std::string, DateOrder>* orders) {
  struct Number {
    int value;
    std::size_t digits, at;
  };
  std::vector<Number> numbers;
  for (std::size_t i = 0; i < text.size();) {
    if (text[i] < '0' || text[i] > '9') {
      ++i;
      continue;
    }
    // "-1/-1/2026": a minus before a number that follows no other number
    // makes it negative, which no field of a date is.
    if (i > 0 && text[i - 1] == '-' && (i == 1 || text[i - 2] < '0' || text[i - 2] > '9')) {
      return std::nullopt;
    }
    const std::size_t start = i;
    int value = 0;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      if (i - start >= 4) return std::nullopt;  // no field of a general date is that long
      value = value * 10 + (text[i] - '0');
      ++i;
    }
    numbers.push_back({value, i - start, start});
    if (numbers.size() > 6) return std::nullopt;
  }
  if (numbers.size() < 3) return std::nullopt;

  // Markers beyond ASCII are compared as UTF-8, whatever the host's code page.
  const std::string lower = LowerAscii(Utf8(text));
  auto has = [&lower](std::initializer_list<std::string_view> markers) {
    for (std::string_view marker : markers) {
      if (lower.find(marker) != std::string::npos) return true;
    }
    return false;
  };
  // The 12-hour clock's markers: English, Spanish and Portuguese forms, and
  // Japanese, Chinese and Korean (as UTF-8).
  const bool pm = has({"pm", "p.m", "p. m", "\xE5\x8D\x88\xE5\xBE\x8C", "\xE4\xB8\x8B\xE5\x8D\x88",
                       "\xEC\x98\xA4\xED\x9B\x84"});
  const bool am = !pm && has({"am", "a.m", "a. m", "\xE5\x8D\x88\xE5\x89\x8D",
                              "\xE4\xB8\x8A\xE5\x8D\x88", "\xEC\x98\xA4\xEC\xA0\x84"});

  DateTime date;
  if (numbers[0].digits == 4) {
    date.year = numbers[0].value, date.month = numbers[1].value, date.day = numbers[2].value;
  } else if (numbers[2].digits == 4 || numbers[2].digits == 2) {
    date.year = numbers[2].digits == 4 ? numbers[2].value
                                       : numbers[2].value + (numbers[2].value < 80 ? 2000 : 1900);
    const int a = numbers[0].value, b = numbers[1].value;
    std::string shape(text.substr(numbers[0].at + numbers[0].digits,
                                  numbers[1].at - numbers[0].at - numbers[0].digits));
    shape += (am || pm) ? "|12" : "|24";
    DateOrder order;
    if (a > 12 && b > 12) return std::nullopt;
    if (a > 12 || b > 12) {
      order = a > 12 ? DateOrder::DayFirst : DateOrder::MonthFirst;
      if (orders) (*orders)[shape] = order;
    } else if (orders && orders->count(shape) != 0) {
      order = orders->at(shape);
    } else {
      order = (shape[0] == '/' && (am || pm)) ? DateOrder::MonthFirst : DateOrder::DayFirst;
    }
    date.month = order == DateOrder::MonthFirst ? a : b;
    date.day = order == DateOrder::MonthFirst ? b : a;
  } else {
    return std::nullopt;
  }
  if (numbers.size() >= 5) {
    date.hour = numbers[3].value;
    date.minute = numbers[4].value;
    date.second = numbers.size() >= 6 ? numbers[5].value : 0;
  } else if (numbers.size() == 4) {
    return std::nullopt;  // an hour without its minutes
  }
  if (pm || am) {
    if (date.hour < 1 || date.hour > 12) return std::nullopt;
    if (pm && date.hour < 12) date.hour += 12;
    if (am && date.hour == 12) date.hour = 0;
  }
  if (!PossibleDate(date)) return std::nullopt;
  return date;
}

}  // namespace quillon::tools::report
