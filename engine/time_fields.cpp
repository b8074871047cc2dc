// The hour, minute and second fields and the clock texts.
#include "app/program.h"
#include "engine/conversions.h"

namespace vmkt {

namespace {

std::int64_t floorDiv(std::int64_t a, std::int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
}

std::int64_t timeOfDayMs(std::int64_t localMillis) {
    const std::int64_t day = 86400000;
    return localMillis - floorDiv(localMillis, day) * day;
}

} // namespace

// "00" becomes "0"; the write raises the event again, which then finds "0".
void Program::时间框文本改变(EditBox& box) {
    if (box.text() == "00")
        box.setText("0");
}

void Program::时间框双击(EditBox& box) {
    box.setText("0");
}

// Each clock text reads the clock once.
std::string Program::当前小时文本() {
    return 整数转文本(
        static_cast<std::int32_t>(timeOfDayMs(platform().clock.localMillis()) / 3600000));
}

std::string Program::当前分钟文本() {
    return 整数转文本(
        static_cast<std::int32_t>(timeOfDayMs(platform().clock.localMillis()) / 60000 % 60));
}

std::string Program::当前秒文本() {
    return 整数转文本(
        static_cast<std::int32_t>(timeOfDayMs(platform().clock.localMillis()) / 1000 % 60));
}

} // namespace vmkt
