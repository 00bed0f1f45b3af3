#include "config_text.h"

std::string FieldText(int n, std::string_view name, int maxLen, int lengthBytes) {
    std::string text = "<FIELD>\n<FIELD_NO>" + std::to_string(n) + "\n<FIELD_NAME>";
    text.append(name);
    text += "\n<MAX_LEN>" + std::to_string(maxLen) + "\n<LENGTH_BYTES>" +
            std::to_string(lengthBytes) + "\n</FIELD>\n";
    return text;
}

std::string ControllerText(std::string_view id, std::string_view fields) {
    std::string text = "<CONTROLLER_PARAMS>\n<CONTROLLER_ID>";
    text.append(id).append("\n<FIELD_SPEC_LIST>\n").append(fields);
    text += "</FIELD_SPEC_LIST>\n</CONTROLLER_PARAMS>\n";
    return text;
}

std::string ControllerListText(std::string_view controllers) {
    std::string text = "<CONTROLLER_PARAMS_LIST>\n";
    text.append(controllers).append("</CONTROLLER_PARAMS_LIST>\n");
    return text;
}
