#include "send_request.h"

#include <cstdio>

#include "controller_port.h"
#include "vksoc/port/close_port.h"
#include "vksoc/port/message_file_port.h"
#include "vksoc/port/port.h"
#include "vksoc/port/recv_msg.h"

namespace {

bool ReadDataFile(const std::string& controller, const std::string& file, FieldValues* values) {
    int port = ui::OpenMessageFile(file.c_str(), controller.c_str());
    if (port < 0) {
        ReportFailure("could not open " + file);
        return false;
    }
    MessageFields message{};
    int result = RecvMsg(port, &message, -1);
    if (result >= 0) {
        // The slots point into the file port's buffer, which closing frees.
        values->TakeFrom(message);
    }
    ClosePort(port);
    if (result < 0) {
        ReportFailure("could not read a message from " + file);
        TellFramingHint(controller, file);
        return false;
    }
    return true;
}

}  // namespace

bool CollectRequest(const std::string& controller, const std::vector<std::string>& arguments,
                    FieldValues* values) {
    std::string file;
    for (const std::string& argument : arguments) {
        if (FieldValues::IsFieldArgument(argument)) {
            continue;
        }
        if (!file.empty()) {
            std::fprintf(stderr, "velkctl: more than one data file: %s and %s\n", file.c_str(),
                         argument.c_str());
            return false;
        }
        file = argument;
    }
    if (!file.empty() && !ReadDataFile(controller, file, values)) {
        return false;
    }
    for (const std::string& argument : arguments) {
        std::string error;
        if (FieldValues::IsFieldArgument(argument) && !values->Set(argument, &error)) {
            std::fprintf(stderr, "velkctl: %s\n", error.c_str());
            return false;
        }
    }
    if (values->empty()) {
        std::fprintf(stderr, "velkctl: nothing to send: give a data file or N=VALUE fields\n");
        return false;
    }
    return true;
}
