// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <string_view>

namespace Numbers {

namespace {

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

template<typename Int>
Int roundInto(double value, bool *clamped)
{
    constexpr double lo = std::numeric_limits<Int>::min();
    constexpr double hi = std::numeric_limits<Int>::max();
    // nearbyint honours the default rounding mode, which rounds halves to even.
    const double r = std::nearbyint(value);
    bool hit = false;
    Int result;
    if (std::isnan(r)) {
        result = 0;
    } else if (r < lo) {
        result = std::numeric_limits<Int>::min();
        hit = true;
    } else if (r > hi) {
        result = std::numeric_limits<Int>::max();
        hit = true;
    } else {
        result = static_cast<Int>(r);
    }
    if (clamped)
        *clamped = hit;
    return result;
}

// For a number written without sign that a double cannot hold: whether it
// is too large rather than too small. What counts is the place of its first
// digit other than 0, moved by the exponent: a long run of digits can carry
// a number past the largest double whatever the exponent's sign.
bool tooLarge(std::string_view number)
{
    const std::size_t e = std::min(number.find('e'), number.size());
    const std::string_view mantissa = number.substr(0, e);
    const std::size_t point = std::min(mantissa.find('.'), mantissa.size());
    const std::size_t first = mantissa.find_first_not_of("0.");
    if (first == std::string_view::npos)
        return false; // zero
    // 0 for the units, 1 for the tens, -1 for the tenths.
    const qint64 place = first < point ? qint64(point - first) - 1 : -qint64(first - point);
    qint64 exponent = 0;
    std::size_t k = e + 1;
    const bool negativeExponent = k < number.size() && number[k] == '-';
    if (k < number.size() && (number[k] == '-' || number[k] == '+'))
        ++k;
    for (; k < number.size(); ++k) // held far beyond any digit count a line can have
        exponent = std::min<qint64>(exponent * 10 + (number[k] - '0'), qint64(1) << 48);
    return place + (negativeExponent ? -exponent : exponent) >= 0;
}

// The digits from `i` on, added to `out`; where they end.
qsizetype takeDigits(QStringView text, qsizetype i, std::string &out)
{
    while (i < text.size() && isDigit(text[i])) {
        out += char(text[i].unicode());
        ++i;
    }
    return i;
}

// An exponent at `i`, added to `number`. It only counts when at least one
// digit follows the "e".
void takeExponent(QStringView text, qsizetype i, std::string &number)
{
    const qsizetype n = text.size();
    if (i >= n || (text[i] != u'e' && text[i] != u'E'))
        return;
    qsizetype j = i + 1;
    std::string exponent = "e";
    if (j < n && (text[j] == u'+' || text[j] == u'-')) {
        exponent += char(text[j].unicode());
        ++j;
    }
    if (takeDigits(text, j, exponent) > j)
        number += exponent;
}

} // namespace

double leadingNumber(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t'))
        ++i;

    std::string number;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }

    const qsizetype integerStart = i;
    i = takeDigits(text, i, number);
    bool anyDigit = i > integerStart;
    if (i < n && text[i] == u'.') {
        std::string fraction;
        const qsizetype end = takeDigits(text, i + 1, fraction);
        if (anyDigit || !fraction.empty()) {
            number += '.';
            number += fraction;
            anyDigit = anyDigit || !fraction.empty();
            i = end;
        }
    }
    if (!anyDigit)
        return 0.0;
    takeExponent(text, i, number);

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow alike.
        value = tooLarge(number) ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

qint16 toInt16(double value, bool *clamped)
{
    return roundInto<qint16>(value, clamped);
}

qint32 toInt32(double value, bool *clamped)
{
    return roundInto<qint32>(value, clamped);
}

} // namespace Numbers
