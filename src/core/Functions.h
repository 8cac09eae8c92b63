#pragma once
// Common services: text forms of durations and amounts, the lira/euro conversion, mandatory-field
// checks and error-code texts.

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace qv {

constexpr double LireEuroRate = 1936.27;
// Divided in extended precision by the rate as an extended constant, then rounded to double: the euro
// values stored in existing data files match to the last bit.
inline double LireToEuro(double amount)
{
    return static_cast<double>(static_cast<long double>(amount) / 1936.27L);
}

// "1 giorno 0 h 0 min 5 sec", "3 h 7 min 0 sec", "1 min 5 sec", "5 sec".
std::string FormatDurationLong(double duration);
// compact: "3.07" (hours and minutes) or "01.05" (minutes and seconds);
// words: "3 h 7 min " or "1 min 5 sec" or "5 sec".
std::string FormatDurationShort(double duration, bool compact);

// Italian number forms: "." between thousands, "," before decimals. decimals = 0 is the "%3.0n"
// form of amounts and counts, decimals = 3 the "%3.3n" form. Values are rounded to the decimals.
std::string FormatNumber(double value, int decimals = 0);
std::string FormatNumber(std::int64_t value);
// The program's number patterns "%W.Pn": P decimals, thousands separators, right-aligned in at
// least W characters ("%3.0n" of 1 is "  1"). Raises EQvError for any other pattern.
std::string FormatPattern(std::string_view pattern, double value);

// An edit box or combo box as the mandatory-field check sees it.
class IMandatoryField
{
public:
    virtual ~IMandatoryField() = default;
    virtual std::string Text() const = 0;
    virtual void SetFocus() = 0;
};
// True when every field has a non-blank text; otherwise message is "I seguenti campi sono
// obbligatori: " with one line "- " + label per empty field, the first empty field gets the focus.
bool CheckMandatoryFields(const std::vector<std::pair<std::string, IMandatoryField*>>& labels, std::string& message);

// Sources of error texts that belong to other subsystems (dial-up, HTTP, system errors).
struct TErrorTextSources
{
    std::function<std::string(int)> DialUp; // codes 600..993
    std::function<std::string(int)> Http;   // codes from 12001
    std::function<std::string(int)> System; // other codes below 12001
};
std::string ErrorCodeText(int code, const TErrorTextSources& sources = {});
// The socket error texts of codes 10001..11999 (empty when the code is not one of them).
std::string SocketErrorText(int code);

} // namespace qv
