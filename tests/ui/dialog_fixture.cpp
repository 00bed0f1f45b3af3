#include "dialog_fixture.h"

#include "platform/clock.h"

std::string DialogFixture::LogName() {
    LocalTime now = CurrentLocalTime();
    char name[32];
    std::snprintf(name, sizeof name, "DLG%02d%02d%02d.log", now.day, now.month, now.yearsSince1900);
    return name;
}
