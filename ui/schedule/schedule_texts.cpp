#include "ui/schedule/schedule_texts.h"

#include "platform/text_codec.h"

namespace schedule_texts {

std::string DateBand(long long calendarYear, int month, int day) {
    return Cp932(std::to_string(calendarYear) + "年  " + std::to_string(month) + "月  " + std::to_string(day) + "日");
}

}  // namespace schedule_texts
