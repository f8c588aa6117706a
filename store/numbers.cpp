// SPDX-License-Identifier: GPL-3.0-or-later
#include "numbers.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <string>

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

    bool anyDigit = false;
    while (i < n && isDigit(text[i])) {
        number += char(text[i].unicode());
        anyDigit = true;
        ++i;
    }
    if (i < n && text[i] == u'.') {
        qsizetype j = i + 1;
        std::string fraction;
        while (j < n && isDigit(text[j])) {
            fraction += char(text[j].unicode());
            ++j;
        }
        if (anyDigit || !fraction.empty()) {
            number += '.';
            number += fraction;
            anyDigit = anyDigit || !fraction.empty();
            i = j;
        }
    }
    if (!anyDigit)
        return 0.0;

    // An exponent only counts when at least one digit follows the "e".
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        qsizetype j = i + 1;
        std::string exponent = "e";
        if (j < n && (text[j] == u'+' || text[j] == u'-')) {
            exponent += char(text[j].unicode());
            ++j;
        }
        const qsizetype digitsStart = j;
        while (j < n && isDigit(text[j])) {
            exponent += char(text[j].unicode());
            ++j;
        }
        if (j > digitsStart)
            number += exponent;
    }

    double value = 0.0;
    const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    Q_UNUSED(ptr);
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow and underflow; tell them
        // apart by the exponent's sign, since the mantissa is a plain number.
        const auto e = number.find('e');
        const bool tiny = e != std::string::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = tiny ? 0.0 : std::numeric_limits<double>::infinity();
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
