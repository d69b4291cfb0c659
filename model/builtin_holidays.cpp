#include "model/record.h"

// The names are code page 932 bytes. Each escape run ends its string literal, because a hex
// escape would take any hex digit that follows it into the same character.
namespace {

constexpr const char* kStaticHolidays[] = {
    "1^1^"
    "\x8c\xb3\x92\x55"
    "^0~",  // 元旦
    "2^11^"
    "\x8c\x9a\x8d\x91\x8b\x4c\x94\x4f\x93\xfa"
    "^0~",  // 建国記念日
    "4^29^"
    "\x97\xce\x82\xcc\x93\xfa"
    "^0~",  // 緑の日
    "5^3^"
    "\x8c\x9b\x96\x40\x8b\x4c\x94\x4f\x93\xfa"
    "^0~",  // 憲法記念日
    "5^4^"
    "\x8d\x91\x96\xaf\x82\xcc\x8b\x78\x93\xfa"
    "^0~",  // 国民の休日
    "5^5^"
    "\x8e\x71\x8b\x9f\x82\xcc\x93\xfa"
    "^0~",  // 子供の日
    "7^20^"
    "\x8a\x43\x82\xcc\x93\xfa"
    "^0~",  // 海の日
    "9^15^"
    "\x8c\x68\x98\x56\x82\xcc\x93\xfa"
    "^0~",  // 敬老の日
    "11^3^"
    "\x95\xaa\x89\xbb\x82\xcc\x93\xfa"
    "^0~",  // 分化の日 (written so)
    "11^23^"
    "\x8b\xce\x98\x4a\x8a\xb4\x8e\xd3\x82\xcc\x93\xfa"
    "^0~",  // 勤労感謝の日
    "12^23^"
    "\x93\x56\x8d\x63\x92\x61\x90\xb6\x93\xfa"
    "^0~",  // 天皇誕生日
};

constexpr const char* kDynamicHolidays[] = {
    "1^15^"
    "\x90\xac\x90\x6c\x82\xcc\x93\xfa"
    "^2~",  // 成人の日, second Monday
    "3^20^"
    "\x8f\x74\x95\xaa\x82\xcc\x93\xfa"
    "^10~",  // 春分の日, spring equinox
    "9^23^"
    "\x8f\x48\x95\xaa\x82\xcc\x93\xfa"
    "^11~",  // 秋分の日, autumn equinox
    "10^10^"
    "\x91\xcc\x88\xe7\x82\xcc\x93\xfa"
    "^2~",  // 体育の日, second Monday
};

template <std::size_t N>
void FillWhenEmpty(std::string& store, const char* const (&records)[N]) {
    if (!store.empty()) return;
    for (const char* record : records) store += record;
}

}  // namespace

void SetDefaultStaticHolidays() { FillWhenEmpty(g_strStaticHoliday, kStaticHolidays); }

void SetDefaultDynamicHolidays() { FillWhenEmpty(g_strDynamicHoliday, kDynamicHolidays); }
