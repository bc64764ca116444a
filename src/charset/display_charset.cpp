// The character set of the system's display: the Windows character-set number
// of the stock system font or, when that font is a plain ANSI font (or there is
// no display), of the system's locale as the profile describes it. Computed
// once per process and kept.
#include <atomic>

#include "charset/display_charset.h"
#include "charset/xlat_testing.h"
#include "platform/platform.h"

namespace kx::charset {
namespace {

// 1 (the number of no character set a font reports for itself) means "not yet
// known". Threads that race compute the same answer; the last store wins.
constexpr uint32_t kUnknown = 1;
std::atomic<uint32_t> displayCharset{kUnknown};

constexpr uint32_t kAnsiCharset = 0;
constexpr uint32_t kGreekCharset = 161;
constexpr uint32_t kTurkishCharset = 162;
constexpr uint32_t kHebrewCharset = 177;
constexpr uint32_t kArabicCharset = 178;
constexpr uint32_t kRussianCharset = 204;
constexpr uint32_t kEasternEuropeCharset = 238;

// The character set of the system font; 0 without a device context or
// metrics.
uint32_t SystemFontCharset() {
    os::HGDIOBJ font = os::GetStockObject(os::SYSTEM_FONT);
    os::HDC dc = os::GetDC(nullptr);
    if (dc == nullptr) return kAnsiCharset;
    os::HGDIOBJ previous = os::SelectObject(dc, font);
    os::TEXTMETRICA metrics{};
    uint32_t charset = os::GetTextMetricsA(dc, &metrics) ? metrics.tmCharSet : kAnsiCharset;
    os::SelectObject(dc, previous);
    os::ReleaseDC(nullptr, dc);
    return charset;
}

// The character set of the locale: the Hebrew and Arabic base code pages, else
// the country.
uint32_t LocaleCharset() {
    switch (os::GetProfileIntA("windows", "BaseCodePage", 0)) {
    case 1255:
        return kHebrewCharset;
    case 1256:
        return kArabicCharset;
    default:
        break;
    }
    switch (os::GetProfileIntA("intl", "iCountry", 0)) {
    case 7:
        return kRussianCharset;
    case 30:
        return kGreekCharset;
    case 36:
    case 38:
    case 42:
    case 48:
        return kEasternEuropeCharset;
    case 90:
        return kTurkishCharset;
    default:
        return kAnsiCharset;
    }
}

}  // namespace

uint32_t DisplayCharset() {
    uint32_t answer = displayCharset.load();
    if (answer != kUnknown) return answer;
    answer = SystemFontCharset();
    if (answer == kAnsiCharset) answer = LocaleCharset();
    displayCharset.store(answer);
    return answer;
}

void testing::ForgetDisplayCharset() { displayCharset.store(kUnknown); }

}  // namespace kx::charset
