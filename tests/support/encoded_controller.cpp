#include "encoded_controller.h"

#include "config_text.h"

namespace {

std::string EncodedField(int n, const char* name, int maxLen, int lengthBytes,
                         const std::string& tags) {
    std::string text = FieldText(n, name, maxLen, lengthBytes);
    text.insert(text.rfind("</FIELD>"), tags);
    return text;
}

}  // namespace

std::string EncodedControllerText() {
    return ControllerText(ENCODED_CONTROLLER,
                          EncodedField(2, "Primary Account Number", 19, 2,
                                       "<ENCODING>BCD_F\n<LENGTH_ENCODING>BINARY\n") +
                              EncodedField(3, "Processing Code", 6, 0, "<ENCODING>BCD\n") +
                              EncodedField(4, "Amount", 12, 0, "<ENCODING>BCD\n") +
                              EncodedField(39, "Response Code", 2, 0, "<ENCODING>EBCDIC\n") +
                              FieldText(41, "Terminal Id", 8, 0) +
                              EncodedField(43, "Card Acceptor", 40, 2,
                                           "<ENCODING>EBCDIC\n<LENGTH_ENCODING>BINARY\n") +
                              EncodedField(52, "PIN Data", 8, 0, "<ENCODING>BINARY\n"));
}
